#!/usr/bin/env python3
"""Fits the tempo estimator's confidence on half A of the development set: a logistic
regression of "within 4 % of the true tempo" on the salience, agreement and octave
probability that `beat_estimate` prints.
Usage: tune-confidence.py MANIFEST RESULTS  (RESULTS: lines "file<TAB>bpm conf sal agr prob")"""
import csv
import math
import os
import sys


def main():
    with open(sys.argv[1]) as f:
        rows = {r["name"]: r for r in csv.DictReader(f, delimiter="\t")}
    samples = []
    for line in open(sys.argv[2]):
        path, _, values = line.rstrip("\n").partition("\t")
        name = os.path.splitext(os.path.basename(path))[0]
        r = rows.get(name)
        if r is None or r["half"] != "A" or r["group"] == "clicks":
            continue
        fields = values.split()
        if fields[0] == "-":
            continue
        bpm, salience, agreement, probability = float(fields[0]), *map(float, fields[2:5])
        right = abs(bpm / float(r["bpm"]) - 1) <= 0.04
        samples.append(([1.0, salience, agreement, probability], 1.0 if right else 0.0))
    w = [0.0] * 4
    for _ in range(20000):
        grad = [0.001 * x for x in w]
        grad[0] = 0.0
        for x, y in samples:
            p = 1 / (1 + math.exp(-sum(a * b for a, b in zip(w, x))))
            for i in range(4):
                grad[i] += (p - y) * x[i] / len(samples)
        w = [a - 1.0 * g for a, g in zip(w, grad)]
    print(f"{len(samples)} files; kBias = {w[0]:.3f}, kSalienceWeight = {w[1]:.3f}, "
          f"kAgreementWeight = {w[2]:.3f}, kProbabilityWeight = {w[3]:.3f}")


if __name__ == "__main__":
    main()
