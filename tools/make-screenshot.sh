#!/usr/bin/env bash
# Takes the README's screenshots of the real program on a 1280x800 Wine virtual desktop.
#
#   make-screenshot.sh [--scene run|window|menu] [--music DIR | --hyperrogue] BUILD_DIR OUTPUT.png
#
# run (the default): a folder of tracks loaded and analysed; prints the status label and
#   the rows. The tracks are generated click tracks named for their tempo
#   (click-124bpm.wav), or the MP3 and WAV files of DIR with --music, or with
#   --hyperrogue six pieces of Debian's hyperrogue-music package (CC-BY-SA-3.0), seconds
#   10 to 90 of each converted to WAV with sox and named "Artist - Title.wav" (click
#   tracks, with a warning, when that package is not installed).
# window: the main window before anything is loaded.
# menu: the File menu open: 240x200 of the desktop from the top of the menu bar.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  echo "usage: make-screenshot.sh [--scene run|window|menu] [--music DIR | --hyperrogue] BUILD_DIR OUTPUT.png" >&2
  exit 2
}

scene=run
music=""
hyperrogue=false
while [[ $# -gt 0 && $1 == --* ]]; do
  case $1 in
    --scene) scene=${2:-}; shift 2 ;;
    --music) music=$(cd "${2:?}" && pwd); shift 2 ;;
    --hyperrogue) hyperrogue=true; shift ;;
    *) usage ;;
  esac
done
[[ $# -eq 2 && $scene =~ ^(run|window|menu)$ ]] || usage
build=$(cd "$1" && pwd)
out=$2

# The pieces of the package's music folder, with who made them (the package's
# copyright file) and their titles (the files' own tags, or the file name).
hyperrogue_dir=/usr/share/hyperrogue/music
hyperrogue_tracks=(
  "hr3-graveyard.ogg|Shawn Parrotte - Graveyard"
  "hr3-icyland.ogg|Shawn Parrotte - Icy Lands"
  "hr3-jungle.ogg|Shawn Parrotte - Jungle"
  "hr3-laboratory.ogg|Shawn Parrotte - Laboratory"
  "hr-savino-ivory.ogg|Will Savino - Ivory Tower"
  "hr-savino-palace.ogg|Will Savino - Palace"
)
if $hyperrogue && ! { [[ -d $hyperrogue_dir ]] && command -v sox >/dev/null; }; then
  echo "make-screenshot: no $hyperrogue_dir or no sox (apt-get install hyperrogue-music sox);" \
    "taking the run on generated click tracks instead" >&2
  hyperrogue=false
fi

# Always on the session's own Xvfb, where the virtual desktop sits at the screen's
# top-left corner: the pictures are cut out and the menu clicked there.
unset DISPLAY
session="$build/wine-screenshot"
source "$root/scripts/wine-desktop.sh"
start_wine_desktop "$session" "$build/bin/TempoScout.exe"

# The folder the program loads, filled afresh each time.
folder="$WINEPREFIX/drive_c/Music"
rm -rf "$folder"
driver_args=('C:\screenshot-result.txt')
if [[ $scene == run ]]; then
  mkdir -p "$folder"
  driver_args+=('C:\Music')
  if [[ -n $music ]]; then
    find "$music" -maxdepth 1 -type f \( -iname '*.mp3' -o -iname '*.wav' \) -exec cp -t "$folder" {} +
  elif $hyperrogue; then
    for entry in "${hyperrogue_tracks[@]}"; do
      sox -V1 "$hyperrogue_dir/${entry%%|*}" -b 16 "$folder/${entry#*|}.wav" rate 44100 trim 10 80
    done
  else
    driver_args+=(--click-tracks)
  fi
fi

# The driver has to run on the same desktop to see the program's window; it writes
# the outcome into a file once the scene is set.
result="$WINEPREFIX/drive_c/screenshot-result.txt"
rm -f "$result"
$wine_run explorer /desktop=TempoScout,1280x800 "$build/bin/screenshot_driver.exe" "${driver_args[@]}"
for _ in $(seq 1500); do
  [[ -f $result ]] && break
  sleep 0.2
done
[[ -f $result ]] || { echo "make-screenshot: the scene was not set" >&2; exit 1; }
cat "$result"
echo
sleep 1

case $scene in
  run | window) save_wine_desktop "$out" ;;
  menu)
    # A click on "File" opens the menu; the pointer then rests on its first item,
    # which the menu highlights. X leaves the pointer out of the picture.
    xdotool mousemove 13 29 click 1
    sleep 1
    xdotool mousemove 40 54
    sleep 1
    import -window root -crop 240x200+0+18 +repage "$out"
    ;;
esac
echo "$out"
