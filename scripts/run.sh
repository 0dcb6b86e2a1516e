#!/usr/bin/env bash
# Sets up a Debian machine, builds the Windows program and runs it under Wine.
# With a display the window opens there and the script waits until it is closed.
# Without one, the program runs on a virtual 1280x800 desktop under Xvfb; the script
# saves a screenshot of it, prints the screenshot's path and closes the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/setup.sh"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" >/dev/null
cmake --build --preset win64 --target portable >/dev/null

app="$root/build/win64/TempoScout/TempoScout.exe"
session="$root/build/win64/wine-app"
run="$root/scripts/wine-run.sh --session $session"

if [[ -n ${DISPLAY:-} ]]; then
  exec $run "$app"
fi

source "$root/scripts/wine-desktop.sh"
start_wine_desktop "$session" "$app"
sleep 5
shot="$root/build/win64/screenshot.png"
save_wine_desktop "$shot"
echo "$shot"
