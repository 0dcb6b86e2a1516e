#!/usr/bin/env bash
# Time of temposcout-cli's analysis (one job) of three minutes of audio in MP3, WAV, FLAC
# and AAC (M4A and raw) against the ffmpeg program decoding the same file (ffmpeg -i FILE
# -f null -), best of three each, printing the ratios. Target for FLAC and AAC: at most
# 1.3x. Not run by CI.
# BENCH_LONG=1 adds a 7-hour FLAC (a one-hour click track looped seven times, 1.4 GB of
# disk while it runs), timed once, with the CLI's line and its peak memory.
#   [BENCH_LONG=1] scripts/bench-cli-formats.sh [build dir, default build/linux]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
cli=$build/bin/temposcout-cli
make_wav=$build/bin/make_test_wav
if [[ ! -x $cli || ! -x $make_wav ]]; then
  cmake --build "$build" --target temposcout-cli make_test_wav bass bass_fx >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$make_wav" --period-ms 500 --seconds 180 --noise 1500 "$work/track.wav"
lame --quiet -b 192 "$work/track.wav" "$work/track.mp3"
ffmpeg -nostdin -v error -i "$work/track.wav" -c:a flac "$work/track.flac"
ffmpeg -nostdin -v error -i "$work/track.wav" -c:a aac -b:a 192k "$work/track.m4a"
# Raw AAC (ADTS) states no length: the reader decodes it once more to count its frames.
ffmpeg -nostdin -v error -i "$work/track.wav" -c:a aac -b:a 192k -f adts "$work/track.aac"

source "$(dirname "$0")/bench-lib.sh"

printf '%-12s %10s %10s %8s\n' "file" "cli s" "ffmpeg s" "ratio"
for format in mp3 wav flac m4a aac; do
  cli_s=$(best_of_3 "$cli" -q -j 1 "$work/track.$format")
  ffmpeg_s=$(best_of_3 ffmpeg -nostdin -v quiet -i "$work/track.$format" -f null -)
  printf '%-12s %10.3f %10.3f %8.3f\n' "track.$format" "$cli_s" "$ffmpeg_s" \
    "$(awk -v a="$cli_s" -v b="$ffmpeg_s" 'BEGIN { print a / b }')"
done

if [[ ${BENCH_LONG:-0} == 1 ]]; then
  "$make_wav" --period-ms 500 --seconds 3600 --noise 300 "$work/hour.wav"
  ffmpeg -nostdin -v error -stream_loop 6 -i "$work/hour.wav" -c:a flac "$work/seven.flac"
  rm "$work/hour.wav"
  echo "7-hour FLAC ($(du -m "$work/seven.flac" | cut -f1) MB):"
  /usr/bin/time -f 'cli: %e s, peak memory %M kB' "$cli" -j 1 "$work/seven.flac"
  /usr/bin/time -f 'ffmpeg -f null: %e s' ffmpeg -nostdin -v quiet -i "$work/seven.flac" -f null -
fi
