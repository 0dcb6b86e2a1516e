#!/usr/bin/env bash
# Writes WAV files in the less common codings with sox, each beside sox's own decode as
# raw 16-bit little-endian stereo (NAME.raw): make-wav-family.sh OUTDIR. Needs sox.
set -euo pipefail
out=${1:?usage: make-wav-family.sh OUTDIR}
mkdir -p "$out"
cd "$out"
sox -V1 -R -n -r 44100 -c 2 -b 16 source.wav synth 3 whitenoise tremolo 2 90 vol 0.5
sox -V1 source.wav -e a-law alaw.wav
sox -V1 source.wav -e u-law mulaw.wav
sox -V1 source.wav -B rifx.wav
for name in alaw mulaw rifx; do
  sox -V1 "$name.wav" -t raw -e signed -b 16 -L "$name.raw"
done
rm -f source.wav
