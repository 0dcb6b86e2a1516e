#!/usr/bin/env bash
# Decode speed of the engine against libmpg123's own program (mpg123 -t) on MP3, against
# a plain read of the file on 44.1 kHz WAV, and against the ffmpeg program's decode
# (ffmpeg -i FILE -f null -) on FLAC and AAC, side by side, printing the ratios.
# Targets: MP3 within 1.15x of mpg123; WAV at least 500x real time; FLAC and AAC within
# 1.3x of ffmpeg. Not run by CI.
#   scripts/bench-decode.sh [build dir, default build/linux]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
bench=$build/bin/engine_decode_bench
make_wav=$build/bin/make_test_wav
if [[ ! -x $bench || ! -x $make_wav ]]; then
  cmake --build "$build" --target engine_decode_bench make_test_wav bass bass_fx >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Three minutes of clicks over noise, stereo 16-bit 44100 Hz, and its MP3s.
"$make_wav" --period-ms 500 --seconds 180 --noise 1500 "$work/track.wav"
lame --quiet -b 192 "$work/track.wav" "$work/cbr.mp3"
lame --quiet -V 2 "$work/track.wav" "$work/vbr.mp3"
ffmpeg -nostdin -v error -i "$work/track.wav" -c:a flac "$work/track.flac"
ffmpeg -nostdin -v error -i "$work/track.wav" -c:a aac -b:a 192k "$work/track.m4a"

source "$(dirname "$0")/bench-lib.sh"

printf '%-26s %10s %10s %8s\n' "file" "engine s" "reference" "ratio"
for mp3 in cbr vbr; do
  ref=$(best_of_3 mpg123 -q -t "$work/$mp3.mp3")
  for request in 441 65536; do
    read -r engine _ < <("$bench" "$work/$mp3.mp3" "$request")
    printf '%-26s %10.3f %10.3f %8.3f\n' "$mp3.mp3 (${request}-byte reads)" "$engine" "$ref" \
      "$(awk -v a="$engine" -v b="$ref" 'BEGIN { print a / b }')"
  done
done
echo "MP3 target: ratio at most 1.15 against mpg123 -t"

read -r plain _ < <("$bench" "$work/track.wav" plain)
for request in 441 65536; do
  read -r engine audio < <("$bench" "$work/track.wav" "$request")
  printf '%-26s %10.3f %10.3f %8.3f   %.0fx real time\n' "track.wav (${request}-byte reads)" "$engine" "$plain" \
    "$(awk -v a="$engine" -v b="$plain" 'BEGIN { print a / b }')" \
    "$(awk -v a="$audio" -v b="$engine" 'BEGIN { print a / b }')"
done
echo "WAV target: at least 500x real time"

for file in track.flac track.m4a; do
  ref=$(best_of_3 ffmpeg -nostdin -v quiet -i "$work/$file" -f null -)
  for request in 441 65536; do
    read -r engine _ < <("$bench" "$work/$file" "$request")
    printf '%-26s %10.3f %10.3f %8.3f\n' "$file (${request}-byte reads)" "$engine" "$ref" \
      "$(awk -v a="$engine" -v b="$ref" 'BEGIN { print a / b }')"
  done
done
echo "FLAC and AAC target: ratio at most 1.3 against ffmpeg -f null"
