#!/usr/bin/env bash
# Measures the whole-track tempo estimator against the window's primary tempo and three
# open-source tempo tools on the development set (scripts/make-devset.sh): accuracy per
# style group on the held-out half, WAV/MP3 agreement, the confidence threshold, and the
# plot docs/accuracy-confidence.png.
# Usage: scripts/accuracy.sh [--tune] [BUILD_DIR]   (ACCURACY_RESULTS=DIR: keep the results there)
#   --tune  report on half A, the half the estimator's constants were chosen on
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
half=B
if [[ ${1:-} == --tune ]]; then half=A; shift; fi
build=${1:-$root/build/linux}

# The set's renderers and the yardsticks: installed here, as only this script needs them.
packages=(mma fluidsynth fluid-soundfont-gm lame aubio-tools bpm-tools soundstretch sox gnuplot-nox openttd-openmsx python3-mido lmms hydrogen)
source "$here/debian-source.sh"
install_missing_packages "${packages[@]}"

nice -n 10 cmake --build "$build" --target make_test_wav temposcout-cli bass bass_fx >&2
set="$("$here/make-devset.sh" "$build")"
results=${ACCURACY_RESULTS:-$set/results}
mkdir -p "$results"

# Files in manifest order, WAV then MP3 copy of each.
mapfile -t names < <(tail -n +2 "$set/manifest.tsv" | cut -f1)
files=()
for name in "${names[@]}"; do files+=("$set/$name.wav" "$set/$name.mp3"); done

# One "file<TAB>bpm<TAB>confidence" line per file; "-" where a tool gives nothing. The
# estimator's figures are the CLI's bpm and confidence columns (no --range: unfolded), from
# the same run that gives the window's primary.
printf '%s\n' "${files[@]}" |
  "$build/bin/temposcout-cli" --quiet --files-from - --format tsv --confidence >"$results/cli.tsv"
awk -F'\t' '{ print $1 "\t" ($4 != "" ? $4 : "-") "\t" $5 }' "$results/cli.tsv" >"$results/beat.tsv"
awk -F'\t' '{ print $1 "\t" ($2 + 0 > 0 ? $2 : "-") "\t" }' "$results/cli.tsv" >"$results/window.tsv"

# The peers do not change between runs of this script: their results are kept until the
# set is rebuilt.
peer() {
  local tool=$1 file=$2 value=""
  case $tool in
    aubio) value=$(aubio tempo -i "$file" 2>/dev/null | awk '/bpm/ { v = $1 } END { print v }') ;;
    bpm) value=$(sox "$file" -t raw -r 44100 -e float -c 1 - 2>/dev/null | bpm) ;;
    bpm-60-200) value=$(sox "$file" -t raw -r 44100 -e float -c 1 - 2>/dev/null | bpm -m 60 -x 200) ;;
    soundstretch)
      local wav
      wav=$(mktemp --suffix .wav)
      sox "$file" -b 16 "$wav" 2>/dev/null
      value=$(soundstretch "$wav" -bpm 2>&1 | awk '/Detected BPM rate/ { print $4 }')
      rm -f "$wav" ;;
  esac
  printf '%s\t%s\t\n' "$file" "${value:--}"
}
export -f peer
for tool in aubio bpm bpm-60-200 soundstretch; do
  if [[ ! -s $results/$tool.tsv || $results/$tool.tsv -ot $set/manifest.tsv ]]; then
    printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -I{} bash -c 'peer "$0" "$1"' "$tool" {} >"$results/$tool.tsv.new"
    mv "$results/$tool.tsv.new" "$results/$tool.tsv"
  fi
done

python3 "$here/accuracy-report.py" "$set/manifest.tsv" "$results" "$half" "$root/docs/accuracy-confidence.png"
