#!/usr/bin/env python3
"""Fits the tempo estimator's confidence on half A of the development set: a logistic
regression of "within 4 % of the true tempo" on the measures `beat_estimate` prints (the
octave decision's probability, its lead over the next candidate and over the value's own
double and half, the tempo's distance in octaves from 120 BPM and its square, salience,
agreement, and how strongly the value's period is divided in two or three), over the music (click tracks and drum patterns are no music library).
Usage: tune-confidence.py MANIFEST RESULTS
(RESULTS: lines "file<TAB>bpm conf salience agreement probability margin octave-margin
subdivision", as `beat_estimate` prints them)
Prints the weights for kConfidence in beat/TempoEstimator.cpp."""
import csv
import math
import os
import sys

NAMES = ["bias", "probability", "margin", "octaves", "octavesSquared", "octaveMargin", "salience", "agreement", "subdivision"]


def measures(fields):
    bpm = float(fields[0])
    salience, agreement, probability, margin, octave_margin, subdivision = map(float, fields[2:8])
    octaves = math.log2(bpm / 120.0)
    return bpm, [1.0, probability, margin, octaves, octaves * octaves, octave_margin, salience, agreement,
                 subdivision]


def main():
    with open(sys.argv[1]) as f:
        rows = {r["name"]: r for r in csv.DictReader(f, delimiter="\t")}
    samples = []
    for line in open(sys.argv[2]):
        path, _, values = line.rstrip("\n").partition("\t")
        name = os.path.splitext(os.path.basename(path))[0]
        r = rows.get(name)
        if r is None or r["half"] != "A" or r["group"] in ("clicks", "drums"):
            continue
        fields = values.split()
        if fields[0] == "-":
            continue
        bpm, x = measures(fields)
        samples.append((x, 1.0 if abs(bpm / float(r["bpm"]) - 1) <= 0.04 else 0.0))
    w = [0.0] * len(NAMES)
    for _ in range(3000):
        grad = [0.001 * x for x in w]
        grad[0] = 0.0
        for x, y in samples:
            p = 1 / (1 + math.exp(-sum(a * b for a, b in zip(w, x))))
            for i in range(len(w)):
                grad[i] += (p - y) * x[i] / len(samples)
        w = [a - 1.0 * g for a, g in zip(w, grad)]
    print(f"{len(samples)} files; kConfidence = {{" + ", ".join(f"{x:.3f}" for x in w) + "}  // "
          + ", ".join(NAMES))


if __name__ == "__main__":
    main()
