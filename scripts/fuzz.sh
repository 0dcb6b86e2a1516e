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

# Seeds: small WAVs of several formats and, when lame is there, an MP3.
python3 - "$out/corpus" <<'PY'
import math, struct, sys
def wav(name, tag, channels, rate, bits, frames):
    width = (bits + 7) // 8
    body = bytearray()
    for i in range(frames * channels):
        v = math.sin(i / 7.0) * 0.5
        if tag == 3:
            body += struct.pack('<f' if bits == 32 else '<d', v)
        elif bits == 8:
            body.append(int(128 + v * 127))
        else:
            body += int(v * (2 ** (8 * width - 1) - 1)).to_bytes(width, 'little', signed=True)
    fmt = struct.pack('<HHIIHH', tag, channels, rate, rate * channels * width, channels * width, bits)
    data = b'fmt ' + struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', len(body)) + bytes(body)
    open(sys.argv[1] + '/' + name, 'wb').write(b'RIFF' + struct.pack('<I', 4 + len(data)) + b'WAVE' + data)
wav('pcm16.wav', 1, 2, 44100, 16, 300)
wav('pcm8.wav', 1, 1, 22050, 8, 300)
wav('pcm24.wav', 1, 6, 48000, 24, 100)
wav('float.wav', 3, 2, 96000, 32, 200)
wav('double.wav', 3, 1, 8000, 64, 100)
PY
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
