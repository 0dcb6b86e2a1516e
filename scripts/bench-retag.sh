#!/usr/bin/env bash
# The nightly re-run over a tagged library: temposcout-cli --write-tag --skip-tagged over a
# folder of 200 generated 3-minute MP3 files, once when none is tagged (every file analysed
# and tagged) and once more (every file skipped, only its tag read). Prints both wall
# times and their ratio. Not part of the tests.
#
#   scripts/bench-retag.sh [build/linux]      BENCH_FILES=N files (200), BENCH_SECONDS=S each (180)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
cli=$build/bin/temposcout-cli
files=${BENCH_FILES:-200}
seconds=${BENCH_SECONDS:-180}
[[ -x $cli ]] || { echo "bench-retag: build $cli first (cmake --build --preset linux)" >&2; exit 1; }
command -v lame >/dev/null || { echo "bench-retag: lame is needed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
make_wav=$build/bin/make_test_wav
[[ -x $make_wav ]] || cmake --build "$build" --target make_test_wav >/dev/null

# Ten click tracks from 80 to 170 BPM, encoded once each and copied round the folder:
# every copy is analysed and tagged on its own.
mkdir "$work/library"
for bpm in $(seq 80 10 170); do
  "$make_wav" --period-ms "$(awk -v b="$bpm" 'BEGIN { print 60000 / b }')" --seconds "$seconds" --noise 300 \
    "$work/set$bpm.wav"
  lame --quiet -b 192 "$work/set$bpm.wav" "$work/set$bpm.mp3"
  rm "$work/set$bpm.wav"
done
sets=("$work"/set*.mp3)
for i in $(seq "$files"); do
  cp "${sets[$((i % ${#sets[@]}))]}" "$(printf '%s/library/track%04d.mp3' "$work" "$i")"
done

run() {
  local start end
  start=$(date +%s.%N)
  "$cli" --quiet --write-tag --skip-tagged --range 70-140 --format csv "$work/library" >"$work/$1.csv"
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", e - s }'
}
first=$(run first)
second=$(run second)
written=$(grep -c ',written,' "$work/first.csv" || true)
skipped=$(grep -c ',skipped-tagged,' "$work/second.csv" || true)
echo "files: $files of $seconds s; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "first run:  ${first} s ($written tags written)"
echo "second run: ${second} s ($skipped files skipped as already tagged)"
awk -v a="$first" -v b="$second" 'BEGIN { printf "second / first: %.3f\n", b / a }'
