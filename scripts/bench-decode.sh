#!/usr/bin/env bash
# Decode speed of the engine against libmpg123's own program (mpg123 -t) on MP3 and
# against a plain read of the file on 44.1 kHz WAV, side by side, printing the ratios.
# Targets: MP3 within 1.15x of mpg123; WAV at least 500x real time. Not run by CI.
#   scripts/bench-decode.sh [build dir, default build/linux]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
bench=$build/bin/engine_decode_bench
if [[ ! -x $bench ]]; then
  cmake --build "$build" --target engine_decode_bench bass bass_fx >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Three minutes of clicks over noise, stereo 16-bit 44100 Hz, and its MP3s.
python3 - "$work/track.wav" <<'PY'
import random, struct, sys
rate, seconds = 44100, 180
random.seed(1)
noise = [int(random.gauss(0, 1500)) for _ in range(65536)]
frames = bytearray()
for i in range(rate * seconds):
    v = noise[i & 65535] + (12000 if i % 22050 < 220 else 0)
    frames += struct.pack('<hh', max(-32768, min(32767, v)), max(-32768, min(32767, -v)))
data = bytes(frames)
fmt = struct.pack('<HHIIHH', 1, 2, rate, rate * 4, 4, 16)
open(sys.argv[1], 'wb').write(b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVE' + b'fmt ' +
    struct.pack('<I', 16) + fmt + b'data' + struct.pack('<I', len(data)) + data)
PY
lame --quiet -b 192 "$work/track.wav" "$work/cbr.mp3"
lame --quiet -V 2 "$work/track.wav" "$work/vbr.mp3"

best_of_3() {
  local best=""
  for _ in 1 2 3; do
    local start end t
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [[ -z $best ]] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  echo "$best"
}

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
