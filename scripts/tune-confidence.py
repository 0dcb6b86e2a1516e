#!/usr/bin/env python3
"""Fits the tempo estimator's confidence on half A of the development set: a logistic
regression of "within 4 % of the true tempo" on the measures `beat_estimate` prints (the
octave decision's probability, its lead over the next candidate and over the value's own
double and half, the tempo's distance in octaves from 120 BPM and its square, salience,
agreement, and how strongly the value's period is divided in two or three), over the music (click tracks and drum patterns are no music library).
Usage: tune-confidence.py MANIFEST RESULTS [--cv FOLDS]
(RESULTS: lines "file<TAB>bpm conf salience agreement probability margin octave-margin
subdivision", as `beat_estimate` prints them)
Prints the weights for kConfidence in beat/TempoEstimator.cpp; with --cv, also how many
of the surest 70 % of half A are right when each groove's confidence comes from weights
fitted without that groove (FOLDS folds of grooves)."""
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


def fit(samples):
    """Logistic regression by gradient descent, with a small L2 penalty on all but the bias."""
    w = [0.0] * len(NAMES)
    for _ in range(3000):
        grad = [0.001 * x for x in w]
        grad[0] = 0.0
        for x, y, _ in samples:
            p = 1 / (1 + math.exp(-sum(a * b for a, b in zip(w, x))))
            for i in range(len(w)):
                grad[i] += (p - y) * x[i] / len(samples)
        w = [a - 1.0 * g for a, g in zip(w, grad)]
    return w


def main():
    args = sys.argv[1:]
    folds = 0
    if len(args) == 4 and args[2] == "--cv":
        folds = int(args[3])
    elif len(args) != 2:
        sys.exit(__doc__)
    with open(args[0]) as f:
        rows = {r["name"]: r for r in csv.DictReader(f, delimiter="\t")}
    samples = []
    for line in open(args[1]):
        path, _, values = line.rstrip("\n").partition("\t")
        name = os.path.splitext(os.path.basename(path))[0]
        r = rows.get(name)
        if r is None or r["half"] != "A" or r["group"] in ("clicks", "drums"):
            continue
        fields = values.split()
        if fields[0] == "-":
            continue
        bpm, x = measures(fields)
        samples.append((x, 1.0 if abs(bpm / float(r["bpm"]) - 1) <= 0.04 else 0.0, r["style"]))
    w = fit(samples)
    print(f"{len(samples)} files; kConfidence = {{" + ", ".join(f"{x:.3f}" for x in w) + "}  // "
          + ", ".join(NAMES))
    if folds > 1:
        # Whole grooves are held out: the same groove at another tempo, read at the same
        # metrical level, would otherwise vouch for itself.
        grooves = sorted({style for _, _, style in samples})
        scored = []
        for k in range(folds):
            held = set(grooves[k::folds])
            learned = fit([s for s in samples if s[2] not in held])
            scored += [(sum(a * b for a, b in zip(learned, x)), y) for x, y, style in samples if style in held]
        scored.sort(key=lambda s: -s[0])
        kept = scored[:math.ceil(0.7 * len(scored))]
        right = sum(y for _, y in kept)
        print(f"cross-validated by groove ({folds} folds): the surest 70 % ({len(kept)} files) are"
              f" {100.0 * right / len(kept):.1f} % right; all {len(scored)}: {100.0 * sum(y for _, y in scored) / len(scored):.1f} %")


if __name__ == "__main__":
    main()
