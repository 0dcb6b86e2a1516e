#!/usr/bin/env bash
# Writes MP3 files damaged the way real files are, each beside mpg123's own decode
# length: make-damaged-mp3.sh OUTDIR. Needs lame, sox and mpg123.
# OUTDIR/expected.txt gets one line per file: name, seconds that mpg123 decodes.
set -euo pipefail
out=${1:?usage: make-damaged-mp3.sh OUTDIR}
mkdir -p "$out"
cd "$out"

# Repeatable noise bytes (sox seeds its generator with -R).
noise() { sox -V1 -R -r 8000 -n -t raw -r 8000 -c 1 -e unsigned -b 8 - synth "$1"s whitenoise; }

# A 20 s 44.1 kHz track and an 8 s 22.05 kHz one (MPEG 2), both with clicks in noise.
sox -V1 -R -n -r 44100 -c 2 -b 16 a.wav synth 20 whitenoise tremolo 2 90 vol 0.1
sox -V1 -R -n -r 22050 -c 2 -b 16 b.wav synth 8 whitenoise tremolo 3 90 vol 0.1
sox -V1 -R -n -r 48000 -c 2 -b 16 c.wav synth 6 whitenoise tremolo 2 90 vol 0.1
lame --quiet -b 128 a.wav clean.mp3
lame --quiet -b 64 b.wav other-rate.mp3
lame --quiet -b 128 c.wav first-48k.mp3
rm -f a.wav b.wav c.wav
size=$(stat -c %s clean.mp3)
half=$((size / 2))

# Garbage between frames: 4000 bytes of noise in the middle of a frame.
{ head -c "$half" clean.mp3; noise 4000; tail -c +"$((half + 1))" clean.mp3; } > garbage-between.mp3
# A lone frame header of another rate (MPEG 2, 22.05 kHz) with some bytes after it.
{ head -c "$half" clean.mp3; printf '\xff\xf3\x84\xc4'; noise 200; tail -c +"$((half + 1))" clean.mp3; } \
  > false-header.mp3
# Two files joined: the second at another sample rate.
cat clean.mp3 other-rate.mp3 > joined-rates.mp3
# Three files joined, the first at 48 kHz: a change of rate while another one is resampled.
cat first-48k.mp3 clean.mp3 other-rate.mp3 > three-rates.mp3
# The last frame cut in the middle.
head -c "$((size - 200))" clean.mp3 > truncated.mp3
# 1 MB of junk (noise) before the first frame.
{ noise 1000000; cat clean.mp3; } > junk-before.mp3
# An ID3v2.3 tag holding a 2 MB cover picture.
picture=2000000
body=$((picture + 11 + 2 + 1))
frame=$((body + 10))
syncsafe() { printf "\\x$(printf %02x $((($1 >> 21) & 127)))\\x$(printf %02x $((($1 >> 14) & 127)))\\x$(printf %02x $((($1 >> 7) & 127)))\\x$(printf %02x $(($1 & 127)))"; }
be32() { printf "\\x$(printf %02x $((($1 >> 24) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $(($1 & 255)))"; }
{
  printf 'ID3\x03\x00\x00'; syncsafe "$frame"
  printf 'APIC'; be32 "$body"; printf '\x00\x00'
  printf '\x00image/jpeg\x00\x03\x00'; noise "$picture"
  cat clean.mp3
} > cover-id3v2.mp3
# APE and ID3v1 tags at the end.
{
  cat clean.mp3
  items='Title'
  printf 'APETAGEX\xd0\x07\x00\x00'; printf '\x32\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\xa0'; printf '\x00%.0s' {1..8}
  printf '\x04\x00\x00\x00\x00\x00\x00\x00%s\x00Beat' "$items"
  printf 'APETAGEX\xd0\x07\x00\x00'; printf '\x32\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x80'; printf '\x00%.0s' {1..8}
  printf 'TAG'; printf 'Beat%.0s' {1..31}; printf '\x00'
} > ape-id3v1.mp3

: > expected.txt
for f in clean garbage-between false-header joined-rates three-rates truncated junk-before cover-id3v2 ape-id3v1; do
  # Everything brought to 44.1 kHz so that files that change rate count in seconds.
  bytes=$(mpg123 -q --resync-limit -1 -r 44100 --stereo -e s16 -s "$f.mp3" 2>/dev/null | wc -c)
  echo "$f $(awk -v b="$bytes" 'BEGIN { printf "%.4f", b / 176400 }')" >> expected.txt
done
rm -f other-rate.mp3 first-48k.mp3
