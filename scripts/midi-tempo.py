#!/usr/bin/python3
"""Prints the tempo (quarter notes per minute) of a standard MIDI file that keeps one
tempo throughout, and nothing for one whose tempo changes or that cannot be read.
A file without a tempo event plays at MIDI's default, 120.
Usage: midi-tempo.py FILE.mid   (needs Debian's python3-mido)"""
import sys

import mido


def main():
    try:
        midi = mido.MidiFile(sys.argv[1])
    except Exception:  # a damaged file raises errors of many kinds in mido
        return
    tempos = {round(mido.tempo2bpm(message.tempo), 3)
              for track in midi.tracks for message in track if message.type == "set_tempo"} or {120.0}
    if len(tempos) == 1:
        print(f"{tempos.pop():g}")


if __name__ == "__main__":
    main()
