#!/usr/bin/env python3
"""Learns the octave decision of the tempo estimator on half A of the development set:
for each file the candidates (the strongest autocorrelation peak after the tempo
preference, its half, double, third, triple, two thirds, one and a half, three quarters,
four thirds, quarter and fourfold, and the other highest peaks) are ranked by a linear
score of their features (the periodicities at the candidate's relatives, and the low
bands' comb means, their autocorrelation averaged over all multiples of a relative),
fitted by conditional logistic regression to rank the true tempo first.
Usage: tune-octave.py MANIFEST ACF_FILE NAMES_FILE [--cv FOLDS]
(ACF_FILE: `beat_estimate --acf` output for the files listed in NAMES_FILE, line by line:
the WAV copies of half A, every group.)
Prints the weights for PeriodChoice::octaveWeights and the tuning-half accuracy; with
--cv, also the share ranked right when whole grooves are held out in turn (FOLDS folds),
the figure to compare features and settings by."""
import csv
import math
import os
import sys

RATE = 11025 / 256  # onset envelope values per second; set from the data in main()
MAX_BPM, MIN_BPM = 250.0, 40.0
PREFERRED_BPM, WIDTH, DOUBLE_WEIGHT = 120.0, 1.4, 0.5
L2 = 0.01
CANDIDATE_SHARE = 0.15


def set_rate(acf_line):
    """The envelope rate from an --acf line: its lags reach eight seconds, in hops of a
    whole number of 11025 Hz samples."""
    global RATE
    lags = len(acf_line.partition("|")[0].split()) - 1
    if lags > 0:
        RATE = 11025 / round(11025 * 8.0 / lags)


def lag_of(bpm):
    return 60.0 * RATE / bpm


def tempo_peaks(acf):
    """The positive local peaks over the lags of the tempo range, each with its tempo
    preference (a log-Gaussian weight around the preferred tempo)."""
    for lag in range(math.floor(lag_of(MAX_BPM)), math.ceil(lag_of(MIN_BPM)) + 1):
        v = acf[lag]
        if v > 0.0 and v >= acf[lag - 1] and v >= acf[lag + 1]:
            octaves = math.log2(lag / lag_of(PREFERRED_BPM)) / WIDTH
            yield lag, math.exp(-0.5 * octaves * octaves)


def strongest(acf):
    best, best_score = 0, 0.0
    for lag, preference in tempo_peaks(acf):
        twice = max([0.0] + [acf[near] for near in range(2 * lag - 1, min(2 * lag + 2, len(acf)))])
        score = preference * (acf[lag] + DOUBLE_WEIGHT * twice)
        if score > best_score:
            best, best_score = lag, score
    return best


def peak_near(acf, lag):
    first = math.floor(lag * 0.97)
    last = min(math.ceil(lag * 1.03), len(acf) - 2)
    values = [acf[i] for i in range(max(first, 1), last + 1)]
    return max(values) if values else 0.0


def tempo_range_peak(acf):
    """The highest value over the lags of the tempo range, 1 when none is positive."""
    first = math.floor(lag_of(MAX_BPM))
    last = min(math.ceil(lag_of(MIN_BPM)), len(acf) - 1)
    peak = max(acf[first:last + 1], default=0.0)
    return peak if peak > 0.0 else 1.0


def comb_mean(acf, period):
    """The autocorrelation averaged over every multiple of the period that the lags
    reach, read between lags."""
    total, count, multiple = 0.0, 0, 1
    while multiple * period <= len(acf) - 2:
        at = multiple * period
        below = int(at)
        total += acf[below] + (at - below) * (acf[below + 1] - acf[below])
        count += 1
        multiple += 1
    return total / count if count else 0.0


def comb_near(acf, period):
    """The highest comb_mean within 2 % of the period (nine periods)."""
    return max(comb_mean(acf, period * (0.98 + 0.005 * j)) for j in range(9))


def comb_scale(acf):
    """The highest comb_near over the tempo range in half-lag steps, 1 when none is
    positive."""
    best, period = 0.0, lag_of(MAX_BPM)
    while period < lag_of(MIN_BPM):
        best = max(best, comb_near(acf, period))
        period += 0.5
    return best if best > 0.0 else 1.0


def features(acf, low, c, low_comb_scale=None):
    octaves = math.log2(60.0 * RATE / c / 120.0)
    s = 1.0 / tempo_range_peak(acf)
    ls = 1.0 / tempo_range_peak(low)
    cs = 1.0 / (low_comb_scale if low_comb_scale is not None else comb_scale(low))
    return [octaves, octaves * octaves, s * peak_near(acf, c / 3), s * peak_near(acf, c / 2), s * peak_near(acf, c),
            s * peak_near(acf, 1.5 * c), s * peak_near(acf, 2 * c), s * peak_near(acf, 3 * c),
            s * peak_near(acf, 4 * c), ls * peak_near(low, c / 2), ls * peak_near(low, c), ls * peak_near(low, 2 * c),
            ls * peak_near(low, 3 * c), ls * peak_near(low, 4 * c), s * peak_near(acf, 2 * c / 3),
            s * max(peak_near(acf, c / 2), peak_near(acf, c / 3))] + \
        [cs * comb_near(low, f * c) for f in (0.5, 1.0, 2.0, 3.0, 4.0)]


PEAK_CANDIDATES, PEAK_CANDIDATE_SHARE = 4, 0.5


def strongest_peaks(acf, count, min_value):
    """The highest local peaks in the tempo range that reach min_value, after the tempo
    preference alone."""
    peaks = [(-preference * acf[lag], lag) for lag, preference in tempo_peaks(acf) if acf[lag] >= min_value]
    return [lag for _, lag in sorted(peaks)[:count]]


def candidates(acf, lag):
    """The strongest lag's octave candidates, then the other strong peaks."""
    out = []
    for f in (1.0, 0.5, 2.0, 1 / 3, 3.0, 2 / 3, 1.5, 0.75, 4 / 3, 0.25, 4.0):
        c = lag * f
        if lag_of(MAX_BPM) <= c <= lag_of(MIN_BPM):
            out.append(c)
    for peak in strongest_peaks(acf, PEAK_CANDIDATES, PEAK_CANDIDATE_SHARE * acf[lag]):
        if all(abs(peak / c - 1) > 0.03 for c in out):
            out.append(float(peak))
    return out


def load(manifest, acf_file, names_file):
    """Each half-A file that has a right candidate: its candidates' features, the index of
    the right one, and its groove."""
    with open(manifest) as f:
        rows = {r["name"]: r for r in csv.DictReader(f, delimiter="\t")}
    names = [line.strip() for line in open(names_file)]
    set_rate(open(acf_file).readline())
    samples = []
    for name, line in zip(names, open(acf_file)):
        key = os.path.basename(name)
        row = rows[key] if key in rows else rows[os.path.splitext(key)[0]]  # a name, or a file's path
        whole, _, low_part = line.partition("|")
        acf = [float(v) for v in whole.split()]
        low = [float(v) for v in low_part.split()]
        if not acf:
            continue
        lag = strongest(acf)
        if lag == 0:
            continue
        cands = [c for c in candidates(acf, lag) if peak_near(acf, c) >= CANDIDATE_SHARE * acf[lag]]
        bpms = [60.0 * RATE / c for c in cands]
        right = [i for i, b in enumerate(bpms) if abs(b / float(row["bpm"]) - 1) <= 0.04]
        if not right:
            continue  # no candidate can be right: nothing to learn from this file
        low_comb_scale = comb_scale(low)
        samples.append(([features(acf, low, c, low_comb_scale) for c in cands], right[0], row["style"]))
    return samples


def fit(samples):
    """Conditional logistic regression: the weights that rank each file's right candidate
    first, by gradient descent on the softmax loss with a small L2 penalty."""
    n = len(samples[0][0][0])
    w = [0.0] * n
    rate = 0.5
    for _ in range(1500):
        grad = [L2 * x for x in w]
        for feats, right, _ in samples:
            scores = [sum(wi * fi for wi, fi in zip(w, f)) for f in feats]
            top = max(scores)
            exps = [math.exp(s - top) for s in scores]
            total = sum(exps)
            for f, e in zip(feats, exps):
                p = e / total
                for i in range(n):
                    grad[i] += p * f[i] / len(samples)
            for i in range(n):
                grad[i] -= feats[right][i] / len(samples)
        w = [wi - rate * g for wi, g in zip(w, grad)]
    return w


def ranked_right(samples, w):
    """How many files the weights rank the right candidate first for."""
    hits = 0
    for feats, right, _ in samples:
        scores = [sum(wi * fi for wi, fi in zip(w, f)) for f in feats]
        hits += scores.index(max(scores)) == right
    return hits


def main():
    args = sys.argv[1:]
    folds = 0
    if len(args) == 5 and args[3] == "--cv":
        folds = int(args[4])
    elif len(args) != 3:
        sys.exit(__doc__)
    samples = load(*args[:3])
    w = fit(samples)
    print(f"{len(samples)} files with a right candidate; the learned score ranks it first on {ranked_right(samples, w)}")
    print("octaveWeights = {" + ", ".join(f"{x:.4f}" for x in w) + "}")
    if folds > 1:
        # Whole grooves are held out, not single files: the same groove at another tempo
        # would otherwise be learned and then scored, which flatters the figure.
        grooves = sorted({style for _, _, style in samples})
        hits = 0
        for k in range(folds):
            held = set(grooves[k::folds])
            learned = fit([s for s in samples if s[2] not in held])
            hits += ranked_right([s for s in samples if s[2] in held], learned)
        print(f"cross-validated by groove ({folds} folds): ranked first on {hits} of {len(samples)}"
              f" ({100.0 * hits / len(samples):.1f} %)")


if __name__ == "__main__":
    main()
