#!/usr/bin/env python3
"""scripts/song-tempo.py gives the true tempo of the development set's third source: a
song whose tempo moves must be left out rather than measured against a wrong truth."""
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "song-tempo.py")

LMMS = '<?xml version="1.0"?><lmms-project version="1.0"><head {head}>{inner}</head><song/></lmms-project>'
HYDROGEN = ('<?xml version="1.0"?><song><bpm>{bpm}</bpm><isTimelineActivated>{active}</isTimelineActivated>'
            '<timeline>{markers}</timeline></song>')


def qcompress(text, length=None):
    data = text.encode()
    return struct.pack(">I", len(data) if length is None else length) + zlib.compress(data)


def marker(bpm):
    return f"<newBPM>{bpm}</newBPM>"


CASES = [
    # name, file suffix, content, printed tempo
    ("lmms plain", ".mmp", LMMS.format(head='bpm="87" timesig_numerator="4"', inner="").encode(), "87"),
    ("lmms compressed", ".mmpz", qcompress(LMMS.format(head='bpm="140.5"', inner="")), "140.5"),
    ("lmms default tempo", ".mmp", LMMS.format(head='timesig_numerator="4"', inner="").encode(), "120"),
    ("lmms automated tempo", ".mmpz", qcompress(LMMS.format(head="", inner='<bpm value="128" id="42"/>')), ""),
    ("lmms wrong length", ".mmpz", qcompress(LMMS.format(head='bpm="128"', inner=""), length=7), ""),
    ("lmms not compressed", ".mmpz", b"\0\0\0\x10not zlib at all", ""),
    ("hydrogen steady", ".h2song", HYDROGEN.format(bpm=115, active="false", markers="").encode(), "115"),
    ("hydrogen markers off", ".h2song", HYDROGEN.format(bpm=98, active="false", markers=marker(140)).encode(), "98"),
    ("hydrogen marker at its tempo", ".h2song",
     HYDROGEN.format(bpm=100, active="true", markers=marker(100)).encode(), "100"),
    ("hydrogen tempo change", ".h2song", HYDROGEN.format(bpm=100, active="true", markers=marker(150)).encode(), ""),
    ("not xml", ".h2song", b"<song><bpm>", ""),
]


class SongTempo(unittest.TestCase):
    def test_cases(self):
        with tempfile.TemporaryDirectory() as folder:
            for name, suffix, content, expected in CASES:
                with self.subTest(name):
                    path = os.path.join(folder, "song" + suffix)
                    with open(path, "wb") as f:
                        f.write(content)
                    run = subprocess.run([sys.executable, SCRIPT, path], capture_output=True, text=True)
                    self.assertEqual(run.returncode, 0, run.stderr)
                    self.assertEqual(run.stdout.strip(), expected)

    def test_missing_file_prints_nothing(self):
        run = subprocess.run([sys.executable, SCRIPT, "/nonexistent/song.mmpz"], capture_output=True, text=True)
        self.assertEqual((run.returncode, run.stdout), (0, ""))


if __name__ == "__main__":
    unittest.main()
