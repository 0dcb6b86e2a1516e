#!/usr/bin/env bash
# Takes the README's screenshot of a finished run: the real program on a 1280x800 Wine
# virtual desktop, a folder of generated tracks loaded and analysed.
#   make-screenshot.sh BUILD_DIR OUTPUT.png
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
out=$2

session="$build/wine-screenshot"
run="$root/scripts/wine-run.sh --session $session"
$run --start
export DISPLAY=$(cat "$session/display") WINEPREFIX="$session/prefix" WINEDEBUG=-all
trap '$run --stop' EXIT

$run explorer /desktop=TempoScout,1280x800 "$build/bin/TempoScout.exe" &
desktop=""
for _ in $(seq 150); do
  desktop=$(xdotool search --name "TempoScout - Wine desktop" 2>/dev/null | head -n1 || true)
  [[ -n $desktop ]] && break
  sleep 0.2
done
[[ -n $desktop ]] || { echo "make-screenshot: the Wine desktop did not appear" >&2; exit 1; }

# The driver has to run on the same desktop to see the program's window; it writes
# the final status into a file once the run is over.
result="$WINEPREFIX/drive_c/screenshot-result.txt"
rm -f "$result"
$run explorer /desktop=TempoScout,1280x800 "$build/bin/screenshot_driver.exe" 'C:\Music' 'C:\screenshot-result.txt'
for _ in $(seq 600); do
  [[ -f $result ]] && break
  sleep 0.2
done
[[ -f $result ]] || { echo "make-screenshot: the run did not finish" >&2; exit 1; }
echo "status: $(cat "$result")"
sleep 1
import -window root -crop 1280x800+0+0 +repage "$out"
echo "$out"
