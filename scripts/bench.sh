#!/usr/bin/env bash
# Benchmark of the tempo analysis: temposcout-cli over 20 generated 3-minute MP3 files
# at tempi from 80 to 175 BPM (and WAV files at five of them), beside `mpg123 -t` on the
# same MP3s (the decoding limit) and whichever other tempo tools are installed (aubio,
# soundstretch, bpm-tools). Prints seconds of work per minute of audio, the ratios,
# wall time and peak memory for --jobs 1, 2 and one per processor, and peak memory for
# 3-, 30- and 120-minute WAV files and a 7-hour MP3 (past 2^32 bytes of decoded audio).
# Not part of the tests.
#
#   scripts/bench.sh [build/linux]        BENCH_LONG=0 skips the 30-minute, 120-minute and 7-hour files
#                                         BENCH_RUNS=N times each --jobs case N times (3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
cli=$build/bin/temposcout-cli
[[ -x $cli ]] || { echo "bench: build $cli first (cmake --build --preset linux)" >&2; exit 1; }
command -v lame >/dev/null && command -v mpg123 >/dev/null || { echo "bench: lame and mpg123 are needed" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "bench: GNU time (/usr/bin/time) is needed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Click tracks with a little noise, written by the tests' own WAV writer a block at a
# time, so even long files take little memory.
make_wav=$build/bin/make_test_wav
[[ -x $make_wav ]] || cmake --build "$build" --target make_test_wav >/dev/null
for bpm in $(seq 80 5 175); do
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
# WAV files only at five tempi: the peers that read WAV are slow.
for wav in "$work"/set*.wav; do
  case ${wav##*/} in set90.wav | set110.wav | set130.wav | set140.wav | set175.wav) ;; *) rm "$wav" ;; esac
done

# Runs a command, printing "seconds peak-kilobytes". GNU time measures it: a child
# forked from a larger process (Python, say) would report that process's size as its peak.
measure() {
  /usr/bin/time -o "$work/time" -f '%e %M' "$@" >/dev/null 2>&1 || true
  tail -n 1 "$work/time"
}

# Runs temposcout-cli on one file, printing "seconds peak-kilobytes primary alternative".
measure_reading() {
  /usr/bin/time -o "$work/time" -f '%e %M' "$@" >"$work/reading" 2>/dev/null || true
  printf '%s %s\n' "$(tail -n 1 "$work/time")" "$(cut -f 2,3 "$work/reading" | tr '\t' ' ')"
}

mp3s=("$work"/set*.mp3)
wavs=("$work"/set*.wav)
minutes=$((3 * ${#mp3s[@]}))
wav_minutes=$((3 * ${#wavs[@]}))

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

echo "Generated: ${#mp3s[@]} MP3 and ${#wavs[@]} WAV files of 3 minutes"
run_case "temposcout mp3" "$cli" --jobs 1 "${mp3s[@]}"
run_case "temposcout wav" "$cli" --jobs 1 "${wavs[@]}"
run_case "mpg123 -t" mpg123 -q -t "${mp3s[@]}"
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

printf '\n%-22s %10s %14s\n' "tool (one at a time)" "seconds" "s / audio min"
for name in "temposcout mp3" "temposcout wav" "mpg123 -t" "aubio tempo" "soundstretch -bpm" "bpm-tools"; do
  [[ -n ${seconds[$name]:-} ]] || continue
  case $name in *wav | soundstretch*) of=$wav_minutes ;; *) of=$minutes ;; esac
  printf '%-22s %10.2f %14.4f\n' "$name" "${seconds[$name]}" "$(python3 -c "print(${seconds[$name]} / $of)")"
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

# Several files at once: the median wall time of BENCH_RUNS runs and the largest peak.
runs=${BENCH_RUNS:-3}
processors=$(nproc)
declare -A jobs_seconds jobs_peak
for jobs in 1 2 "$processors"; do
  [[ -n ${jobs_seconds[$jobs]:-} ]] && continue
  times=() peak=0
  for ((run = 0; run < runs; run++)); do
    r=$(measure "$cli" --jobs "$jobs" "${mp3s[@]}")
    times+=("${r% *}")
    ((${r#* } > peak)) && peak=${r#* }
  done
  jobs_seconds[$jobs]=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
  jobs_peak[$jobs]=$peak
done
echo
echo "temposcout-cli on the ${#mp3s[@]} MP3s, median of $runs runs ($processors processors, load: $(cut -d' ' -f1-3 /proc/loadavg)):"
for jobs in $(printf '%s\n' "${!jobs_seconds[@]}" | sort -n); do
  printf '  --jobs %-3s %8.2f s  %5.2fx the time of --jobs 1  %8d kB peak  (%.2fx the --jobs 1 peak)\n' "$jobs" \
    "${jobs_seconds[$jobs]}" "$(ratio "${jobs_seconds[$jobs]}" "${jobs_seconds[1]}")" "${jobs_peak[$jobs]}" \
    "$(ratio "${jobs_peak[$jobs]}" "${jobs_peak[1]}")"
done
echo "  targets: --jobs 2 at most 0.55x on two processors; peak under jobs x the --jobs 1 peak"

echo
echo "Peak memory of temposcout-cli (the 7-hour file is a click track at 120 BPM):"
for case in "3 set130.wav" "30 long30.wav" "120 long120.wav" "420 long420.mp3"; do
  file=$work/${case#* }
  [[ -f $file ]] || continue
  read -r took peak primary alternative < <(measure_reading "$cli" -q "$file")
  printf '  %4s-minute %s: %8d kB peak, %7.2f s, reads %s %s\n' "${case%% *}" "${file##*.}" "$peak" "$took" \
    "$primary" "$alternative"
done
