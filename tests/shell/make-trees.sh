#!/usr/bin/env bash
# Builds the folder trees the track-collection tests scan, on the Linux side so it can
# hold a symbolic-link cycle and paths longer than Windows' classic limit, and maps
# drive Y: of the Wine prefix to one of them for the drive-root case.
#   make-trees.sh TREES_DIR DOSDEVICES_DIR
set -euo pipefail
trees=$1
dosdevices=$2
rm -rf "$trees"
mkdir -p "$trees"

# flat/: one folder with every kind of name the audio-name test must sort out.
flat=$trees/flat
mkdir -p "$flat/live.mp3" "$flat/sub" "$flat/empty"
touch "$flat/a.MP3" "$flat/b.wav" "$flat/clip.mp4" "$flat/notes.txt" "$flat/SONG.Mp3" \
      "$flat/take.WAV" "$flat/song.mpeg" "$flat/nodotmp3" "$flat/trail.mp3 " "$flat/sub/deep.mp3" \
      "$flat/live.mp3/inner.wav"

# tree/: nested folders, a folder named like an audio file, an empty folder, a link
# back to the root, and a branch that grows past 260 characters.
tree=$trees/tree
mkdir -p "$tree/A/A2" "$tree/B" "$tree/empty" "$tree/live.mp3" "$tree/Z"
touch "$tree/r1.mp3" "$tree/r2.txt" "$tree/A/a1.WAV" "$tree/A/A2/a2.mp3" "$tree/B/b.txt" "$tree/B/b1.mp3" \
      "$tree/live.mp3/l.mp3" "$tree/Z/z.mp3"
ln -s .. "$tree/B/loop"
seg=$(printf 'd%.0s' $(seq 60))
long=$tree/long
for level in 1 2 3 4 5 6; do
  long=$long/$seg$level
  mkdir -p "$long"
  touch "$long/level$level.mp3"
done

# drive/: the root of drive Y:.
mkdir -p "$trees/drive"
touch "$trees/drive/song.mp3" "$trees/drive/other.txt"
mkdir -p "$dosdevices"
ln -sfn "$trees/drive" "$dosdevices/y:"
