#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus into the folder given: WAV files of many layouts;
when lame is installed, real MP3 files made by it from generated audio (CBR, VBR with a
Xing header, tagged, with junk in front, MPEG-2 and 2.5 rates, mono, damaged); when
ffmpeg is installed, small files of every other format the engine reads.

Every seed holds a short click track (a few beats over a quiet tone) so the analysis
finds onsets in it, and stays small so the fuzzer mutates it quickly."""
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def click_track(rate, seconds, bpm=180.0):
    """Mono samples in [-1, 1]: a quiet tone with a short burst on every beat, every
    other burst louder, so the loudest onsets come at twice the beat period."""
    beat = int(rate * 60.0 / bpm)
    burst = max(1, rate // 100)
    samples = []
    for i in range(int(rate * seconds)):
        if i % beat < burst:
            level = 0.9 if (i // beat) % 2 == 0 else 0.35
        else:
            level = 0.03
        samples.append(level * math.sin(2 * math.pi * 440.0 * i / rate))
    return samples


def encode(value, tag, bits):
    """One sample as the bytes of a WAV sample of that format tag and width."""
    if tag == 3:
        return struct.pack('<f' if bits == 32 else '<d', value)
    if bits == 8:
        return bytes([int(128 + value * 127)])
    width = bits // 8
    return int(value * (2 ** (bits - 1) - 1)).to_bytes(width, 'little', signed=True)


def mulaw(value):
    """G.711 mu-law byte of a sample."""
    sample = max(-32635, min(32635, int(value * 32767)))
    sign = 0x80 if sample < 0 else 0
    sample = abs(sample) + 0x84
    exponent = max(0, sample.bit_length() - 8)
    mantissa = (sample >> (exponent + 3)) & 0x0F
    return bytes([~(sign | (exponent << 4) | mantissa) & 0xFF])


def alaw(value):
    """G.711 A-law byte of a sample."""
    sample = max(-32767, min(32767, int(value * 32767))) >> 3
    sign = 0x80 if sample >= 0 else 0
    sample = abs(sample)
    if sample < 32:
        code = sample >> 1
    else:
        exponent = sample.bit_length() - 5
        code = (exponent << 4) | ((sample >> exponent) & 0x0F)
    return bytes([(sign | code) ^ 0x55])


def chunk(name, body):
    """A RIFF chunk, padded to an even length."""
    return name + struct.pack('<I', len(body)) + body + (b'\0' if len(body) % 2 else b'')


def pcm_body(tag, channels, rate, bits, seconds):
    """The data chunk's bytes of a click track, each channel a little quieter."""
    body = bytearray()
    for value in click_track(rate, seconds):
        for channel in range(channels):
            sample = value * (1.0 - 0.1 * channel)
            if tag == 6:
                body += alaw(sample)
            elif tag == 7:
                body += mulaw(sample)
            else:
                body += encode(sample, tag, bits)
    return bytes(body)


def fmt_chunk(tag, channels, rate, bits, extensible=False):
    align = channels * ((bits + 7) // 8)
    fields = struct.pack('<HHIIHH', 0xFFFE if extensible else tag, channels, rate, rate * align, align, bits)
    if extensible:
        # cbSize, valid bits, channel mask, then the sub-format GUID (the tag in its
        # first two bytes).
        mask = (1 << channels) - 1
        guid = struct.pack('<H', tag) + bytes.fromhex('000000001000800000aa00389b71')
        fields += struct.pack('<HHI', 22, bits, mask) + guid
    elif tag != 1:
        fields += struct.pack('<H', 0)
    return chunk(b'fmt ', fields)


def riff(name, chunks):
    data = b'WAVE' + b''.join(chunks)
    with open(os.path.join(out, name), 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', len(data)) + data)


def wav(name, tag=1, channels=2, rate=44100, bits=16, seconds=0.5, extensible=False, before=(), after=()):
    """A WAV file; `before` and `after` are extra chunks around fmt and data."""
    body = pcm_body(tag, channels, rate, bits, seconds)
    riff(name, list(before) + [fmt_chunk(tag, channels, rate, bits, extensible), chunk(b'data', body)] + list(after))


info = chunk(b'LIST', b'INFO' + chunk(b'INAM', b'click track\0') + chunk(b'IART', b'seed\0'))
wav('pcm16-stereo.wav', seconds=0.2)
wav('pcm8-mono-22050.wav', channels=1, rate=22050, bits=8)
wav('pcm24-6ch-48000.wav', channels=6, rate=48000, bits=24, seconds=0.05)
wav('pcm32-stereo.wav', bits=32, seconds=0.1)
wav('float32-96000.wav', tag=3, rate=96000, bits=32, seconds=0.05)
wav('float64-mono-8000.wav', tag=3, channels=1, rate=8000, bits=64)
wav('extensible-pcm24.wav', channels=2, rate=48000, bits=24, seconds=0.1, extensible=True)
wav('extensible-float-6ch.wav', tag=3, channels=6, rate=44100, bits=32, seconds=0.03, extensible=True)
# Long enough (6 s) for beats and their double period to reach the histograms.
wav('alaw-mono-8000.wav', tag=6, channels=1, rate=8000, bits=8, seconds=6.0)
wav('mulaw-mono-8000.wav', tag=7, channels=1, rate=8000, bits=8, seconds=6.0)
wav('pcm8-mono-8000.wav', channels=1, rate=8000, bits=8, seconds=6.0)
wav('pcm16-mono-11025.wav', channels=1, rate=11025, bits=16, seconds=2.5)
# A LIST chunk before fmt, and an odd-sized chunk with its pad byte after data.
wav('list-first.wav', channels=1, rate=11025, before=[info, chunk(b'junk', b'odd')])
wav('list-after-data.wav', rate=32000, seconds=0.1, after=[info, chunk(b'id3 ', b'ID3\3\0\0\0\0\0\0')])
# Odd chunk order: data comes before fmt.
body = pcm_body(1, 1, 16000, 16, 0.5)
riff('data-before-fmt.wav', [chunk(b'data', body), fmt_chunk(1, 1, 16000, 16)])
# RF64: the sizes are in the ds64 chunk, the RIFF and data sizes say 0xFFFFFFFF.
body = pcm_body(1, 2, 44100, 16, 0.1)
rest = fmt_chunk(1, 2, 44100, 16) + b'data' + struct.pack('<I', 0xFFFFFFFF) + body
ds64 = chunk(b'ds64', struct.pack('<QQQI', 4 + 36 + len(rest), len(body), len(body) // 4, 0))
with open(os.path.join(out, 'rf64.wav'), 'wb') as f:
    f.write(b'RF64' + struct.pack('<I', 0xFFFFFFFF) + b'WAVE' + ds64 + rest)
# A data chunk that claims more than the file holds.
body = pcm_body(1, 2, 44100, 16, 0.1)
riff('truncated-data.wav', [fmt_chunk(1, 2, 44100, 16), b'data' + struct.pack('<I', len(body) * 4) + body])

lame = shutil.which('lame')
if lame is None:
    print('make-seeds: lame not found, MP3 seeds left out', file=sys.stderr)
    sys.exit(0)

work = tempfile.mkdtemp()


def lame_encode(rate, channels, seconds, *options):
    """A click track of that rate and channel count encoded by lame; returns the bytes."""
    source = os.path.join(work, 'source.wav')
    target = os.path.join(work, 'encoded.mp3')
    body = pcm_body(1, channels, rate, 16, seconds)
    data = b'WAVE' + fmt_chunk(1, channels, rate, 16) + chunk(b'data', body)
    with open(source, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', len(data)) + data)
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
    source = os.path.join(work, 'source.wav')
    samples = b''.join(struct.pack('<hh', int(v * 32767), int(v * 30000)) for v in click_track(22050, 0.6))
    data = b'WAVE' + chunk(b'fmt ', struct.pack('<HHIIHH', 1, 2, 22050, 22050 * 4, 4, 16)) + chunk(b'data', samples)
    with open(source, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', len(data)) + data)
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
