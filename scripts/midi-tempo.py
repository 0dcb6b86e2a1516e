#!/usr/bin/env python3
"""Prints the tempo (quarter notes per minute) of a standard MIDI file that keeps one
tempo throughout, and nothing for one whose tempo changes or that cannot be read.
A file without a tempo event plays at MIDI's default, 120.
Usage: midi-tempo.py FILE.mid"""
import struct
import sys


def read_varlen(data, pos):
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos


def tempos(data):
    """The microseconds per quarter note of every tempo event."""
    if data[:4] != b"MThd":
        raise ValueError("not a MIDI file")
    header_length = struct.unpack(">I", data[4:8])[0]
    pos = 8 + header_length
    found = []
    while pos + 8 <= len(data):
        chunk, length = data[pos:pos + 4], struct.unpack(">I", data[pos + 4:pos + 8])[0]
        pos += 8
        end = min(pos + length, len(data))
        if chunk == b"MTrk":
            track_pos, status = pos, 0
            while track_pos < end:
                _, track_pos = read_varlen(data, track_pos)
                if data[track_pos] & 0x80:
                    status = data[track_pos]
                    track_pos += 1
                if status == 0xFF:
                    kind = data[track_pos]
                    length_, track_pos = read_varlen(data, track_pos + 1)
                    if kind == 0x51 and length_ == 3:
                        found.append(int.from_bytes(data[track_pos:track_pos + 3], "big"))
                    track_pos += length_
                    status = 0  # meta events cancel running status
                elif status in (0xF0, 0xF7):
                    length_, track_pos = read_varlen(data, track_pos)
                    track_pos += length_
                    status = 0
                elif status >> 4 in (0xC, 0xD):
                    track_pos += 1
                else:
                    track_pos += 2
        pos = end
    return found


def main():
    try:
        with open(sys.argv[1], "rb") as f:
            found = tempos(f.read())
    except (OSError, ValueError, IndexError):
        return
    distinct = {round(60_000_000 / t, 3) for t in found} or {120.0}
    if len(distinct) == 1:
        print(f"{distinct.pop():g}")


if __name__ == "__main__":
    main()
