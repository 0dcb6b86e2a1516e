#!/usr/bin/env bash
# Builds the libFuzzer targets with the fuzz preset (clang, the sanitizers and coverage,
# libmpg123 built the same way) into build/fuzz and runs each for a share of a bounded
# time (FUZZ_SECONDS in all, 60 by default) from a seed corpus of generated WAV and MP3
# files: "engine" drives the engine's streams with odd reads and a restart, "analysis"
# takes each file through both analysis passes, "tag" walks random tags in front of an MP3
# or inside a WAV, has TagLib write a BPM into a copy and checks the proof (its seeds are
# ID3v2 tags, in a corpus of their own). FUZZ_TARGETS picks targets ("engine analysis tag"
# by default), FUZZ_JOBS > 1 runs that many fuzzing processes per target.
# Exits non-zero when the fuzzer finds a crash.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/fuzz
seconds=${FUZZ_SECONDS:-60}
targets=(${FUZZ_TARGETS:-engine analysis tag})
jobs=${FUZZ_JOBS:-1}
cd "$root"

echo "fuzz: building"
build_targets=()
for target in "${targets[@]}"; do build_targets+=("${target}_fuzz"); done
# The WAV seeds come from the tests' own generator, built here as well.
build_targets+=(make_test_wav)
if ! cmake --preset fuzz >/dev/null || ! cmake --build --preset fuzz -j "$(nproc)" --target "${build_targets[@]}"; then
  echo "fuzz: FAILED to build"
  exit 1
fi
mkdir -p "$out/corpus" "$out/corpus-tag" "$out/artifacts"

# Seeds: WAVs of many layouts written by make_test_wav and real MP3s made by lame; for the
# tag target, ID3v2 tags (Debian's python3 has mutagen, which writes some of them).
python3 "$root/fuzz/make-seeds.py" "$out/bin/make_test_wav" "$out/corpus" || { echo "fuzz: FAILED to make the seeds"; exit 1; }
python=python3
[[ -x /usr/bin/python3 ]] && python=/usr/bin/python3
"$python" "$root/fuzz/make-tag-seeds.py" "$out/corpus-tag"

share=$((seconds / ${#targets[@]}))
((share > 0)) || share=1
parallel=()
((jobs > 1)) && parallel=(-fork="$jobs")
failed=0
for target in "${targets[@]}"; do
  echo "fuzz: running $target for ${share}s"
  log=$out/fuzz-$target.log
  # An input is at most 64 KB; the analysis target also stops each pass after a few
  # seconds of decoded audio, so one run stays well under a second.
  corpus=$out/corpus
  [[ $target == tag ]] && corpus=$out/corpus-tag
  "$out/bin/${target}_fuzz" "$corpus" -max_total_time="$share" -timeout=20 -rss_limit_mb=2048 \
    -max_len=65536 -artifact_prefix="$out/artifacts/" -print_final_stats=1 "${parallel[@]}" >"$log" 2>&1
  rc=$?
  tail -n 15 "$log"
  if ((rc != 0)); then
    echo "fuzz: $target FAILED (exit $rc); the failing input is in $out/artifacts/"
    failed=1
  fi
done
((failed == 0)) || exit 1
echo "fuzz: passed, no crash in ${seconds}s"
