#!/usr/bin/env bash
# Benchmark of the tempo analysis: temposcout-cli over generated 3-minute MP3 and WAV
# files at several tempi, beside `mpg123 -t` on the same MP3s (the decoding limit) and
# whichever other tempo tools are installed (aubio, soundstretch, bpm-tools). Prints
# seconds of work per minute of audio, the ratios, and peak memory for 3-, 30- and
# 120-minute WAV files and a 7-hour MP3 (past 2^32 bytes of decoded audio). Not part of
# the tests.
#
#   scripts/bench.sh [build/linux]        BENCH_LONG=0 skips the 30-minute, 120-minute and 7-hour files
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
cli=$build/bin/temposcout-cli
[[ -x $cli ]] || { echo "bench: build $cli first (cmake --build --preset linux)" >&2; exit 1; }
command -v lame >/dev/null && command -v mpg123 >/dev/null || { echo "bench: lame and mpg123 are needed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Click tracks with a little noise, written by the tests' own WAV writer a block at a
# time, so even long files take little memory.
make_wav=$build/bin/make_test_wav
[[ -x $make_wav ]] || cmake --build "$build" --target make_test_wav >/dev/null
for bpm in 90 110 128 140 174; do
  "$make_wav" --period-ms "$(awk -v b="$bpm" 'BEGIN { print 60000 / b }')" --seconds 180 --noise 300 "$work/set$bpm.wav"
done
if [[ ${BENCH_LONG:-1} == 1 ]]; then
  "$make_wav" --period-ms 500 --seconds 1800 --noise 300 "$work/long30.wav"
  "$make_wav" --period-ms 500 --seconds 7200 --noise 300 "$work/long120.wav"
  # MP3 frames concatenate: a 3-minute MP3 without an info frame, 140 times over, is a
  # 7-hour file of 400 MB.
  "$make_wav" --period-ms 500 --seconds 180 --noise 300 "$work/part.wav"
  lame --quiet -t -b 128 "$work/part.wav" "$work/part.mp3"
  for _ in $(seq 140); do cat "$work/part.mp3"; done >"$work/long420.mp3"
  rm "$work/part.wav" "$work/part.mp3"
fi
for wav in "$work"/set*.wav; do lame --quiet -b 192 "$wav" "${wav%.wav}.mp3"; done

# Runs a command, printing "seconds peak-kilobytes".
measure() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.perf_counter()
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
elapsed = time.perf_counter() - start
print(f"{elapsed:.3f} {resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss}")
PY
}

# Runs temposcout-cli on one file, printing "seconds peak-kilobytes primary alternative".
measure_reading() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.perf_counter()
out = subprocess.run(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode()
elapsed = time.perf_counter() - start
fields = (out.split("\t") + ["-", "-", "-"])[:3]
print(f"{elapsed:.3f} {resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss} {fields[1]} {fields[2].strip()}")
PY
}

mp3s=("$work"/set*.mp3)
wavs=("$work"/set*.wav)
minutes=$((3 * ${#mp3s[@]}))

declare -A seconds
run_case() {  # name, command...
  local name=$1; shift
  local total=0 result
  result=$(measure "$@")
  seconds[$name]=${result% *}
}

per_file() {  # name, files array name, command with {} for the file...
  local name=$1 list=$2; shift 2
  local -n files=$list
  local sum=0 r
  for f in "${files[@]}"; do
    r=$(measure "${@//\{\}/$f}")
    sum=$(python3 -c "print(${sum} + ${r% *})")
  done
  seconds[$name]=$sum
}

echo "Generated: ${#mp3s[@]} MP3 and ${#wavs[@]} WAV files of 3 minutes ($minutes minutes each)"
run_case "temposcout mp3" "$cli" "${mp3s[@]}"
run_case "temposcout wav" "$cli" "${wavs[@]}"
per_file "mpg123 -t" mp3s mpg123 -q -t {}
command -v aubio >/dev/null && per_file "aubio tempo" mp3s aubio tempo -i {}
command -v soundstretch >/dev/null && per_file "soundstretch -bpm" wavs soundstretch {} -bpm
if command -v bpm >/dev/null && command -v sox >/dev/null; then
  seconds["bpm-tools"]=$(python3 - "${mp3s[@]}" <<'PY'
import subprocess, sys, time
start = time.perf_counter()
for f in sys.argv[1:]:
    sox = subprocess.Popen(["sox", f, "-t", "raw", "-r", "44100", "-e", "float", "-c", "1", "-"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    subprocess.run(["bpm"], stdin=sox.stdout, stdout=subprocess.DEVNULL)
    sox.wait()
print(f"{time.perf_counter() - start:.3f}")
PY
)
fi

printf '\n%-22s %10s %14s\n' "tool" "seconds" "s / audio min"
for name in "temposcout mp3" "temposcout wav" "mpg123 -t" "aubio tempo" "soundstretch -bpm" "bpm-tools"; do
  [[ -n ${seconds[$name]:-} ]] || continue
  printf '%-22s %10.2f %14.4f\n' "$name" "${seconds[$name]}" "$(python3 -c "print(${seconds[$name]} / $minutes)")"
done

ratio() { python3 -c "print(f'{$1 / $2:.2f}')"; }
echo
echo "temposcout on MP3 / mpg123 decoding: $(ratio "${seconds[temposcout mp3]}" "${seconds[mpg123 -t]}")  (target at most 1.30)"
for peer in "aubio tempo" "bpm-tools"; do
  [[ -n ${seconds[$peer]:-} ]] || continue
  echo "temposcout on MP3 / $peer on MP3: $(ratio "${seconds[temposcout mp3]}" "${seconds[$peer]}")  (below 1 is faster)"
done
if [[ -n ${seconds[soundstretch -bpm]:-} ]]; then
  echo "temposcout on WAV / soundstretch -bpm on WAV: $(ratio "${seconds[temposcout wav]}" "${seconds[soundstretch -bpm]}")  (below 1 is faster)"
fi

echo
echo "Peak memory of temposcout-cli (the 7-hour file is a click track at 120 BPM):"
for case in "3 set128.wav" "30 long30.wav" "120 long120.wav" "420 long420.mp3"; do
  file=$work/${case#* }
  [[ -f $file ]] || continue
  read -r took peak primary alternative < <(measure_reading "$cli" -q "$file")
  printf '  %4s-minute %s: %8d kB peak, %7.2f s, reads %s %s\n' "${case%% *}" "${file##*.}" "$peak" "$took" \
    "$primary" "$alternative"
done
