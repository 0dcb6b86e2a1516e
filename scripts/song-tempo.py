#!/usr/bin/env python3
"""Prints the tempo of an LMMS project (.mmp, or .mmpz: the same XML compressed) or of a
Hydrogen song (.h2song) that keeps one tempo throughout, and nothing for one whose tempo
is automated or changes along a timeline, or that cannot be read.
Usage: song-tempo.py FILE"""
import struct
import sys
import xml.etree.ElementTree as ElementTree
import zlib


def lmms_tempo(root):
    head = root.find("head")
    # An automated tempo is stored as a child element with its own id instead of the
    # plain attribute.
    if head is None or head.find("bpm") is not None:
        return None
    return float(head.get("bpm", "120"))


def hydrogen_tempo(root):
    bpm = float(root.findtext("bpm", "120"))
    active = root.findtext("isTimelineActivated", "false").strip().lower() == "true"
    changes = {float(value.text) for value in root.iter("newBPM") if value.text}
    if active and changes - {bpm}:
        return None
    return bpm


def main():
    path = sys.argv[1]
    try:
        with open(path, "rb") as f:
            data = f.read()
        if path.endswith(".mmpz"):
            # A 4-byte big-endian length, then a zlib stream.
            (length,) = struct.unpack(">I", data[:4])
            data = zlib.decompress(data[4:])
            if len(data) != length:
                return
        root = ElementTree.fromstring(data)
        tempo = hydrogen_tempo(root) if root.tag == "song" else lmms_tempo(root)
    except (OSError, ValueError, struct.error, zlib.error, ElementTree.ParseError):
        return
    if tempo and tempo > 0:
        print(f"{tempo:g}")


if __name__ == "__main__":
    main()
