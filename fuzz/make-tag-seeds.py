#!/usr/bin/env python3
"""Writes the tag fuzzer's seed corpus into the folder given: each seed is one byte that
picks the file around the tag (an MP3, or a WAV with the tag's chunk after or before the
samples) followed by an ID3v2 tag: tags mutagen writes with many kinds of frame (when
python3-mutagen is installed), and ID3v2.2, unsynchronised and footer tags built here."""
import os
import struct
import sys
import tempfile

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def frame(major, fid, payload, flags=0):
    if major == 2:
        return fid.encode() + struct.pack('>I', len(payload))[1:] + payload
    size = syncsafe(len(payload)) if major == 4 else struct.pack('>I', len(payload))
    return fid.encode() + size + struct.pack('>H', flags) + payload


def tag(major, body, flags=0):
    data = b'ID3' + bytes([major, 0, flags]) + syncsafe(len(body)) + body
    if major == 4 and flags & 0x10:
        data += b'3DI' + data[3:10]
    return data


def unsync(data):
    return data.replace(b'\xff', b'\xff\x00')


tags = {
    'v22': tag(2, frame(2, 'TT2', b'\0Title') + frame(2, 'TBP', b'\0120') +
           frame(2, 'PIC', b'\0JPG\x03c\0\xff\xd8\xff') + bytes(8)),
    'v23-unsync': tag(3, unsync(frame(3, 'PRIV', b'o\0\xff\xe0\xff') + frame(3, 'TIT2', b'\0T')), 0x80),
    'v24-footer': tag(4, frame(4, 'TIT2', b'\3Title') + frame(4, 'PRIV', b'o\0\xff\x00\xe0', 0x0002) + bytes(24), 0x10),
    'v23-flags': tag(3, frame(3, 'TIT2', b'\0T', 0x4000) + frame(3, 'TSIZ', b'\0' + b'1') + bytes(4)),
}
try:
    from mutagen.id3 import ID3, APIC, COMM, PRIV, TALB, TBPM, TIT2, TPE1, TXXX, TYER, USLT
    for version in (3, 4):
        tags_ = ID3()
        tags_.add(TIT2(encoding=1, text=['T\u00edtulo']))
        tags_.add(TPE1(encoding=3 if version == 4 else 1, text=['\u00c4rtist']))
        tags_.add(TALB(encoding=0, text=['Album']))
        tags_.add(APIC(encoding=0, mime='image/png', type=3, desc='Cover', data=bytes(range(64))))
        tags_.add(COMM(encoding=1, lang='eng', desc='', text=['Comment']))
        tags_.add(PRIV(owner='owner', data=bytes(range(8))))
        tags_.add(TXXX(encoding=0, desc='REPLAYGAIN_TRACK_GAIN', text=['-6.50 dB']))
        tags_.add(USLT(encoding=1, lang='eng', desc='', text='Lyrics'))
        tags_.add(TYER(encoding=0, text=['2001']))
        tags_.add(TBPM(encoding=0, text=['99']))
        with tempfile.NamedTemporaryFile(suffix='.mp3') as f:
            tags_.save(f.name, v1=0, v2_version=version, padding=lambda info: 16)
            tags['mutagen-v2%d' % version] = open(f.name, 'rb').read()
except ImportError:
    pass

for name, data in tags.items():
    for choice in (0, 1, 7):
        with open(os.path.join(out, '%s-%d' % (name, choice)), 'wb') as f:
            f.write(bytes([choice]) + data)
