#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus: make-seeds.py MAKE_TEST_WAV OUTDIR. WAV files of many
layouts, all written by make_test_wav (the tests' own generator); when lame is installed,
real MP3 files made by it from generated audio (CBR, VBR with a Xing header, tagged, with
junk in front, MPEG-2 and 2.5 rates, mono, damaged); when ffmpeg is installed, small files
of every other format the engine reads.

Every seed holds a short click track (180 BPM, every other click quieter, so the loudest
onsets come at twice the beat period) so the analysis finds onsets in it, and stays small
so the fuzzer mutates it quickly."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

make_wav, out = sys.argv[1], sys.argv[2]
os.makedirs(out, exist_ok=True)


def wav(path, *options):
    """A generated click track at `path`, laid out as the make_test_wav options say."""
    subprocess.run([make_wav, '--period-ms', '333.333', '--offbeat-level', '0.4', *options, path], check=True)
    return path


def seed(name, *options):
    return wav(os.path.join(out, name), *options)


seed('pcm16-stereo.wav', '--seconds', '0.2')
seed('pcm8-mono-22050.wav', '--format', 'pcm8', '--channels', '1', '--rate', '22050', '--seconds', '0.5')
seed('pcm24-6ch-48000.wav', '--format', 'pcm24', '--channels', '6', '--rate', '48000', '--seconds', '0.05')
seed('pcm32-stereo.wav', '--format', 'pcm32', '--seconds', '0.1')
seed('float32-96000.wav', '--format', 'float32', '--fmt-extra-size', '--rate', '96000', '--seconds', '0.05')
seed('float64-mono-8000.wav', '--format', 'float64', '--fmt-extra-size', '--channels', '1', '--rate', '8000',
     '--seconds', '0.5')
seed('extensible-pcm24.wav', '--format', 'pcm24', '--extensible', '--rate', '48000', '--seconds', '0.1')
seed('extensible-float-6ch.wav', '--format', 'float32', '--extensible', '--channels', '6', '--seconds', '0.03')
# Long enough (6 s) for beats and their double period to reach the histograms.
for coding in ('alaw', 'mulaw', 'pcm8'):
    seed(coding + '-mono-8000.wav', '--format', coding, '--channels', '1', '--rate', '8000', '--seconds', '6')
seed('pcm16-mono-11025.wav', '--channels', '1', '--rate', '11025', '--seconds', '2.5')
# A LIST chunk before fmt, and an odd-sized chunk with its pad byte after data.
seed('list-first.wav', '--info', 'before:INAM:click track', '--info', 'before:IART:seed', '--chunk',
     'before:junk:' + b'odd'.hex(), '--channels', '1', '--rate', '11025', '--seconds', '0.5')
seed('list-after-data.wav', '--info', 'after:INAM:click track', '--info', 'after:IART:seed', '--chunk',
     'after:id3 :' + b'ID3\3\0\0\0\0\0\0'.hex(), '--rate', '32000', '--seconds', '0.1')
seed('data-before-fmt.wav', '--data-first', '--channels', '1', '--rate', '16000', '--seconds', '0.5')
# RF64: the sizes are in the ds64 chunk, the RIFF and data sizes say 0xFFFFFFFF.
seed('rf64.wav', '--rf64', '--seconds', '0.1')
# A data chunk that claims more than the file holds: a generated file whose data size
# is made four times larger.
path = seed('truncated-data.wav', '--seconds', '0.1')
with open(path, 'r+b') as f:
    whole = f.read()
    at = whole.index(b'data', 12) + 4
    f.seek(at)
    f.write(struct.pack('<I', struct.unpack_from('<I', whole, at)[0] * 4))

lame = shutil.which('lame')
if lame is None:
    print('make-seeds: lame not found, MP3 seeds left out', file=sys.stderr)
    sys.exit(0)

work = tempfile.mkdtemp()


def lame_encode(rate, channels, seconds, *options):
    """A click track of that rate and channel count encoded by lame; returns the bytes."""
    source = wav(os.path.join(work, 'source.wav'), '--channels', str(channels), '--rate', str(rate), '--seconds',
                 str(seconds))
    target = os.path.join(work, 'encoded.mp3')
    subprocess.run([lame, '--quiet', *options, source, target], check=True)
    with open(target, 'rb') as f:
        return f.read()


def write(name, data):
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)


def mp3(name, rate, channels, seconds, *options):
    write(name, lame_encode(rate, channels, seconds, *options))


# A cover image for the tag: lame only looks at the PNG signature.
cover = os.path.join(work, 'cover.png')
with open(cover, 'wb') as f:
    f.write(b'\x89PNG\r\n\x1a\n' + bytes((i * 7) & 0xFF for i in range(16000)))

cbr = lame_encode(44100, 1, 6.0, '-b', '32', '-m', 'm', '--resample', '44.1')
write('cbr-32k-mono.mp3', cbr)
mp3('cbr-64k-stereo.mp3', 44100, 2, 1.0, '-b', '64')
mp3('vbr-xing.mp3', 44100, 2, 3.0, '-V', '7')
mp3('vbr-xing-48000.mp3', 48000, 2, 1.0, '-V', '9')
mp3('id3v2.mp3', 44100, 1, 1.0, '-b', '32', '--tt', 'Click', '--ta', 'Seed', '--add-id3v2')
mp3('id3v2-cover.mp3', 44100, 1, 1.0, '-b', '32', '--tt', 'Click', '--ti', cover)
mp3('id3v1-end.mp3', 44100, 1, 1.0, '-b', '32', '--tt', 'Click', '--id3v1-only')
mp3('mpeg2-22050.mp3', 22050, 1, 3.0, '-b', '16')
mp3('mpeg2-16000-vbr.mp3', 16000, 2, 1.5, '-V', '8')
mp3('mpeg25-8000.mp3', 8000, 1, 6.0, '-b', '8')
mp3('mpeg25-11025.mp3', 11025, 2, 1.5, '-b', '16')
low = lame_encode(22050, 1, 0.5, '-b', '16')
# Junk before the first frame, garbage between frames, a concatenation of two sample
# rates, a truncated last frame and an APE tag at the end.
write('junk-before.mp3', bytes((i * 37 + 11) & 0xFF for i in range(3000)) + cbr)
write('garbage-between.mp3', cbr[:len(cbr) // 2] + b'\xff\xfb\x00garbage' * 20 + cbr[len(cbr) // 2:])
write('two-rates.mp3', cbr + low)
write('truncated.mp3', cbr[:-50])
ape = b'APETAGEX' + struct.pack('<IIII', 2000, 32, 0, 0) + bytes(8)
write('ape-end.mp3', cbr + ape)

# Small files of every format read through FFmpeg, made by the ffmpeg program from a
# short click track, and cut copies of a few of them.
ffmpeg = shutil.which('ffmpeg')
if ffmpeg is None:
    print('make-seeds: ffmpeg not found, seeds of the other formats left out', file=sys.stderr)
else:
    source = wav(os.path.join(work, 'source.wav'), '--rate', '22050', '--seconds', '0.6')
    formats = [('click.flac', ['-c:a', 'flac']), ('alac.m4a', ['-c:a', 'alac']), ('click.aiff', ['-c:a', 'pcm_s16be']),
               ('sowt.aifc', ['-c:a', 'pcm_s16le', '-f', 'aiff']), ('click.wv', ['-c:a', 'wavpack']),
               ('vorbis.ogg', ['-c:a', 'libvorbis']), ('click.opus', ['-c:a', 'libopus', '-b:a', '32k']),
               ('flac.oga', ['-c:a', 'flac']), ('aac.m4a', ['-c:a', 'aac', '-b:a', '32k']),
               ('adts.aac', ['-c:a', 'aac', '-b:a', '32k', '-f', 'adts']),
               ('opus.webm', ['-c:a', 'libopus', '-b:a', '32k']), ('vorbis.mka', ['-c:a', 'libvorbis']),
               ('wmav2.wma', ['-c:a', 'wmav2', '-b:a', '32k']), ('wmav1.wma', ['-c:a', 'wmav1', '-b:a', '32k'])]
    for name, options in formats:
        target = os.path.join(out, 'ffmpeg-' + name)
        subprocess.run([ffmpeg, '-nostdin', '-v', 'error', '-y', '-i', source, *options, target], check=True)
    for name in ('click.flac', 'alac.m4a', 'vorbis.ogg'):
        with open(os.path.join(out, 'ffmpeg-' + name), 'rb') as f:
            whole = f.read()
        write('ffmpeg-cut-' + name, whole[:len(whole) * 2 // 3])
shutil.rmtree(work)
