#!/usr/bin/env bash
# Takes the README's screenshot of a finished run: the real program on a 1280x800 Wine
# virtual desktop, a folder of generated tracks loaded and analysed.
#   make-screenshot.sh BUILD_DIR OUTPUT.png
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
out=$2

session="$build/wine-screenshot"
source "$root/scripts/wine-desktop.sh"
start_wine_desktop "$session" "$build/bin/TempoScout.exe"

# The driver has to run on the same desktop to see the program's window; it writes
# the final status into a file once the run is over.
result="$WINEPREFIX/drive_c/screenshot-result.txt"
rm -f "$result"
$wine_run explorer /desktop=TempoScout,1280x800 "$build/bin/screenshot_driver.exe" 'C:\Music' 'C:\screenshot-result.txt'
for _ in $(seq 600); do
  [[ -f $result ]] && break
  sleep 0.2
done
[[ -f $result ]] || { echo "make-screenshot: the run did not finish" >&2; exit 1; }
echo "status: $(cat "$result")"
sleep 1
save_wine_desktop "$out"
echo "$out"
