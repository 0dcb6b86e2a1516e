#!/usr/bin/env bash
# Writes the engine's format test files: click-track WAVs made with the tests' own WAV
# writer, and copies of them in every format FFmpeg reads for us, made with the ffmpeg
# program, plus damaged and unusual ones: make-format-family.sh MAKE_TEST_WAV OUTDIR.
# Needs ffmpeg and python3.
set -euo pipefail
make_wav=${1:?usage: make-format-family.sh MAKE_TEST_WAV OUTDIR}
out=${2:?usage: make-format-family.sh MAKE_TEST_WAV OUTDIR}
mkdir -p "$out"
cd "$out"
ff() { ffmpeg -nostdin -v error -y "$@"; }

# The sources: 16-bit stereo at 44100 Hz (120 BPM), 24-bit at 48000 Hz (150 BPM, through
# the resampler), mono (100 BPM) and six channels (mixed down).
"$make_wav" --period-ms 500 --seconds 20 click.wav
"$make_wav" --period-ms 400 --seconds 12 --rate 48000 --format pcm24 hires.wav
"$make_wav" --period-ms 600 --seconds 12 --channels 1 mono.wav
"$make_wav" --period-ms 500 --seconds 8 --channels 6 six.wav

# Lossless copies, each named SOURCE.KIND.EXT: they must decode to the WAV's samples.
for source in click hires mono six; do
  ff -i $source.wav -c:a flac $source.lossless.flac
  ff -i $source.wav -c:a alac $source.lossless.m4a
  ff -i $source.wav -c:a wavpack $source.lossless.wv
done
for source in click hires mono; do
  ff -i $source.wav -c:a pcm_s"$( [[ $source == hires ]] && echo 24 || echo 16)"be $source.lossless.aiff
done
ff -i click.wav -c:a flac click.lossless.oga
ff -i click.wav -c:a flac click.lossless.mka
# Each sample format the decoders hand over, packed and planar: unsigned 8-bit, 32-bit,
# float and double PCM in Matroska, float WavPack (planar).
"$make_wav" --period-ms 500 --seconds 8 --format pcm8 byte.wav
ff -i byte.wav -c:a pcm_u8 byte.lossless.u8.mka
ff -i hires.wav -c:a pcm_s32le hires.lossless.s32.mka
ff -i click.wav -c:a pcm_f32le click.lossless.f32.mka
ff -i mono.wav -c:a pcm_f32le mono.lossless.f32.mka
ff -i six.wav -c:a pcm_f64le six.lossless.f64.mka
ff -i click.wav -c:a wavpack -sample_fmt fltp click.lossless.fltp.wv
ff -i six.wav -c:a wavpack -sample_fmt fltp six.lossless.fltp.wv

# Lossy copies of the 120 BPM track: the same tempo within one display step.
ff -i click.wav -c:a libvorbis -q:a 4 click.lossy.ogg
ff -i click.wav -c:a libopus -b:a 96k click.lossy.opus
ff -i click.wav -c:a libopus -b:a 96k click.lossy.webm
ff -i click.wav -c:a aac -b:a 128k click.lossy.m4a
ff -i click.wav -c:a aac -b:a 128k -f adts click.lossy.aac
ff -i click.wav -c:a wmav2 -b:a 128k click.lossy.wma
ff -i click.wav -c:a wmav1 -b:a 128k click.lossy1.wma
ff -i click.wav -c:a libvorbis -q:a 4 click.lossy.mka

# Cover art (an attached picture) beside the audio, and a video stream: both ignored.
ff -f lavfi -i color=c=red:s=64x64:d=1 -frames:v 1 cover.png
ff -i click.wav -i cover.png -map 0 -map 1 -c:a flac -c:v png -disposition:v attached_pic click.cover.flac
ff -i click.wav -i cover.png -map 0 -map 1 -c:a alac -c:v png -disposition:v attached_pic click.cover.m4a
ff -f lavfi -i color=c=blue:s=64x64:r=5:d=20 -i click.wav -map 0 -map 1 -c:v mpeg4 -c:a flac -shortest click.video.mka
# Two audio streams: the other track first, the click track second and marked default.
ff -i mono.wav -i click.wav -map 0 -map 1 -c:a flac -disposition:a:0 0 -disposition:a:1 default click.second.mka
# The moov box in front (ffmpeg's plain MP4 output puts it at the end).
ff -i click.wav -c:a alac -movflags +faststart click.faststart.m4a

# Damaged files. A FLAC cut in half: what is there decodes.
python3 - <<'PY'
data = open("click.lossless.flac", "rb").read()
open("cut.flac", "wb").write(data[: len(data) // 2])
# Raw AAC cut in the middle of a frame: its length comes from the packets there are.
data = open("click.lossy.aac", "rb").read()
open("cut.aac", "wb").write(data[: len(data) // 2 + 101])
# An MP4 whose moov box (at the end) was cut off: no audio can be found.
data = open("click.lossless.m4a", "rb").read()
at = data.rfind(b"moov") - 4
open("nomoov.m4a", "wb").write(data[:at])
# An Ogg Vorbis file with one page from its middle missing.
data = open("click.lossy.ogg", "rb").read()
pages = [i for i in range(len(data)) if data.startswith(b"OggS", i)]
middle = len(pages) // 2
open("gap.ogg", "wb").write(data[: pages[middle]] + data[pages[middle + 1]:])
# A FLAC whose header claims 2^36 - 1 frames (433 hours) in 900 kB: not believed, the
# 20 seconds that are there are counted and decode.
data = bytearray(open("click.lossless.flac", "rb").read())
word = int.from_bytes(data[18:26], "big") | (2**36 - 1)
data[18:26] = word.to_bytes(8, "big")
open("claims-hours.flac", "wb").write(data)
# Float samples beyond full scale, infinite and not numbers, in a mono file, each held
# for 10 frames after 1233 of silence: they round and clip as WAV floats do. The file
# lasts 30 ms exactly, as Matroska gives lengths in whole milliseconds.
import math, struct
odd = [0.0] * 1233
for value in (1.5, -2.0, math.inf, -math.inf, math.nan, 0.5 / 32768, 1.5 / 32768, -2.5 / 32768, 0.25):
    odd += [value] * 10
open("odd.f32", "wb").write(struct.pack("<%df" % len(odd), *odd))
# A zero-length file with a known extension, and one holding only an ftyp box.
open("empty.flac", "wb").close()
open("onlyftyp.m4a", "wb").write(bytes([0, 0, 0, 16]) + b"ftypM4A \0\0\0\0")
PY
ff -f f32le -ar 44100 -ac 1 -i odd.f32 -c:a pcm_f32le odd.f32.mka
rm -f cover.png odd.f32
