#!/usr/bin/env bash
# Builds the engine's libFuzzer target with the fuzz preset (clang and the sanitizers)
# into build/fuzz and runs it for a bounded time (FUZZ_SECONDS, 60 by default) from a
# seed corpus of generated WAV and MP3 files. Exits non-zero when the fuzzer finds a crash.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/fuzz
seconds=${FUZZ_SECONDS:-60}
cd "$root"

echo "fuzz: building"
if ! cmake --preset fuzz >/dev/null || ! cmake --build --preset fuzz -j "$(nproc)"; then
  echo "fuzz: FAILED to build"
  exit 1
fi
mkdir -p "$out/corpus" "$out/artifacts"

# Seeds: small WAVs of several formats, written by the tests' own WAV writer from the
# native build, and, when lame is there, an MP3.
native=${TEMPOSCOUT_NATIVE_BUILD:-$root/build/linux}
make_wav=$native/bin/make_test_wav
if [[ ! -x $make_wav ]] && ! cmake --build "$native" --target make_test_wav >/dev/null; then
  echo "fuzz: FAILED to build make_test_wav in $native (cmake --preset linux first)"
  exit 1
fi
seed() {  # name, format, channels, rate, seconds
  "$make_wav" --format "$2" --channels "$3" --rate "$4" --seconds "$5" --period-ms 3 --noise 1500 "$out/corpus/$1"
}
seed pcm16.wav pcm16 2 44100 0.007
seed pcm8.wav pcm8 1 22050 0.014
seed pcm24.wav pcm24 6 48000 0.002
seed float.wav float32 2 96000 0.002
seed double.wav float64 1 8000 0.0125
if command -v lame >/dev/null; then
  lame --quiet -b 32 "$out/corpus/pcm8.wav" "$out/corpus/short.mp3" || true
fi

echo "fuzz: running for ${seconds}s"
log=$out/fuzz.log
"$out/bin/engine_fuzz" "$out/corpus" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
  -max_len=65536 -artifact_prefix="$out/artifacts/" -print_final_stats=1 >"$log" 2>&1
rc=$?
tail -n 15 "$log"
if ((rc != 0)); then
  echo "fuzz: FAILED (exit $rc); the failing input is in $out/artifacts/"
  exit 1
fi
echo "fuzz: passed, no crash in ${seconds}s"
