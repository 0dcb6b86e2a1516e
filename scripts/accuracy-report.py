#!/usr/bin/env python3
"""Accuracy tables of scripts/accuracy.sh: per style group and overall for each tool on
one half of the development set, WAV/MP3 agreement, the confidence threshold and its plot,
and the same measures on the sources only measured (game music, demo songs) when the set
holds them.
Usage: accuracy-report.py MANIFEST RESULTS_DIR HALF PLOT.png"""
import csv
import os
import subprocess
import sys
import tempfile

TOOLS = [("beat", "estimator"), ("window", "window primary"), ("aubio", "aubio tempo"),
         ("bpm", "bpm"), ("bpm-60-200", "bpm -m 60 -x 200"), ("soundstretch", "soundstretch")]
TARGET_KEPT_ACCURACY = 0.97


def load(path):
    values = {}
    with open(path) as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) < 2:
                continue
            try:
                bpm = float(fields[1])
            except ValueError:
                bpm = None
            confidence = float(fields[2]) if len(fields) > 2 and fields[2] not in ("", "-") else 0.0
            values[os.path.basename(fields[0])] = (bpm if bpm and bpm > 0 else None, confidence)
    return values


def within(value, truth, tolerance):
    return value is not None and abs(value / truth - 1.0) <= tolerance


def acc1(value, truth):
    return within(value, truth, 0.04)


def acc2(value, truth):
    return any(within(value, truth * f, 0.04) for f in (1, 2, 3, 0.5, 1 / 3))


def percent(hits, count):
    return f"{100.0 * hits / count:.0f}" if count else "-"


def threshold_curve(rows, results):
    """(threshold, share kept, Acc1 of kept) as the confidence threshold rises."""
    scored = [(results.get(r["name"] + ".wav", (None, 0.0)), float(r["bpm"])) for r in rows]
    curve = []
    for step in range(0, 100):
        t = step / 100.0
        kept = [(v, truth) for (v, c), truth in scored if v is not None and c >= t]
        if not kept:
            break
        right = sum(acc1(v, truth) for v, truth in kept)
        curve.append((t, len(kept) / len(scored), right / len(kept)))
    return curve


# The sources only measured, never tuned on: their "half" in the manifest, and what they are.
OTHER_SOURCES = [
    ("C", "Second source", "pieces of game music (OpenTTD's openmsx, MIDI rendered with the same "
     "synthesizer; the true tempo is the file's own)"),
    ("D", "Third source", "demo songs of LMMS and Hydrogen (rendered by those programs with their own "
     "instruments and drum kits; the true tempo is the song's own)"),
]


def other_source(rows, results, default, half, title, description):
    """A source never tuned on: the same measures over all of it."""
    pieces = [r for r in rows if r["half"] == half]
    if not pieces:
        return
    print(f"\n{title}, never tuned on: {len(pieces)} {description}\n")
    print("| measure | " + " | ".join(label for _, label in TOOLS) + " |")
    print("|---|" + "---:|" * len(TOOLS))
    lines = {"Accuracy 1": [], "Accuracy 2": [], "WAV = MP3": []}
    for tool, _ in TOOLS:
        wav = [(results[tool].get(r["name"] + ".wav", (None, 0))[0], float(r["bpm"])) for r in pieces]
        mp3 = [results[tool].get(r["name"] + ".mp3", (None, 0))[0] for r in pieces]
        lines["Accuracy 1"].append(percent(sum(acc1(v, t) for v, t in wav), len(pieces)))
        lines["Accuracy 2"].append(percent(sum(acc2(v, t) for v, t in wav), len(pieces)))
        agree = sum(w is not None and m is not None and within(m, w, 0.04) for (w, _), m in zip(wav, mp3))
        lines["WAV = MP3"].append(percent(agree, len(pieces)))
    for label, cells in lines.items():
        print(f"| {label} | " + " | ".join(cells) + " |")
    if default is not None:
        point = next(((t, s, a) for t, s, a in threshold_curve(pieces, results["beat"]) if t >= default), None)
        if point:
            print(f"\nOn the {title.lower()} at {default:.2f}: {100 * point[1]:.0f} % of the pieces kept, "
                  f"Accuracy 1 of those {100 * point[2]:.1f} %")


def main():
    manifest, results_dir, half, plot = sys.argv[1:5]
    with open(manifest) as f:
        rows = list(csv.DictReader(f, delimiter="\t"))
    results = {tool: load(os.path.join(results_dir, tool + ".tsv")) for tool, _ in TOOLS}
    chosen = [r for r in rows if r["half"] == half]
    music = [r for r in chosen if r["group"] not in ("clicks", "drums")]
    groups = sorted({r["group"] for r in music}) + ["music", "drums", "clicks"]

    def subset(group):
        if group == "music":
            return music
        return [r for r in chosen if r["group"] == group]

    print(f"Half {half}: {len(music)} music files in {len(groups) - 3} groups, "
          f"{len(subset('drums'))} drum patterns, {len(subset('clicks'))} click tracks (WAV copies)\n")
    print("Accuracy 1 / Accuracy 2 (%), within 4 %; Accuracy 2 also counts x2, x3, x1/2, x1/3\n")
    print("| group | files | " + " | ".join(label for _, label in TOOLS) + " |")
    print("|---|---:|" + "---:|" * len(TOOLS))
    for group in groups:
        part = subset(group)
        cells = []
        for tool, _ in TOOLS:
            values = [(results[tool].get(r["name"] + ".wav", (None, 0))[0], float(r["bpm"])) for r in part]
            a1 = sum(acc1(v, t) for v, t in values)
            a2 = sum(acc2(v, t) for v, t in values)
            cells.append(f"{percent(a1, len(part))} / {percent(a2, len(part))}")
        name = f"**{group}**" if group == "music" else group
        print(f"| {name} | {len(part)} | " + " | ".join(cells) + " |")

    print("\nExact within 1 % (drum patterns and click tracks), WAV/MP3 agreement within 4 % (all files):\n")
    print("| measure | " + " | ".join(label for _, label in TOOLS) + " |")
    print("|---|" + "---:|" * len(TOOLS))
    for label, part, test in (("drums within 1 %", subset("drums"), "exact"),
                              ("clicks within 1 %", subset("clicks"), "exact"),
                              ("WAV = MP3 (music)", music, "agree")):
        cells = []
        for tool, _ in TOOLS:
            hits = 0
            for r in part:
                wav = results[tool].get(r["name"] + ".wav", (None, 0))[0]
                mp3 = results[tool].get(r["name"] + ".mp3", (None, 0))[0]
                if test == "exact":
                    hits += within(wav, float(r["bpm"]), 0.01)
                else:
                    hits += wav is not None and mp3 is not None and within(mp3, wav, 0.04)
            cells.append(percent(hits, len(part)))
        print(f"| {label} | " + " | ".join(cells) + " |")

    # The default threshold comes from half A (the tuning half): the lowest at which the
    # kept files reach the target accuracy while at least 70 % of them are kept (a
    # threshold that keeps a handful of files says nothing). It is then judged on the
    # chosen half.
    tune_curve = threshold_curve([r for r in rows if r["half"] == "A" and r["group"] not in ("clicks", "drums")],
                                 results["beat"])
    default = next((t for t, share, a in tune_curve if a >= TARGET_KEPT_ACCURACY and share >= 0.70), None)
    reached = default is not None
    if not reached:
        # Short of the target: the threshold that keeps at least 70 % of half A at the
        # best accuracy.
        kept = [(a, -t, t) for t, share, a in tune_curve if share >= 0.70]
        default = max(kept)[2] if kept else None
    curve = threshold_curve(music, results["beat"])
    print()
    if not reached:
        print("No confidence threshold keeping 70 % of half A reaches Accuracy 1 of 97 % there; "
              "the default keeps at least 70 % of half A at its best accuracy.")
    if default is not None:
        point = next(((t, s, a) for t, s, a in curve if t >= default), None)
        print(f"Default --min-confidence (from half A): {default:.2f}")
        if point:
            print(f"On half {half} at {default:.2f}: {100 * point[1]:.0f} % of music files kept, "
                  f"Accuracy 1 of those {100 * point[2]:.1f} %")

    for source in OTHER_SOURCES:
        other_source(rows, results, default, *source)

    with tempfile.NamedTemporaryFile("w", suffix=".dat", delete=False) as data:
        for t, share, accuracy in curve:
            data.write(f"{t:.2f} {100 * share:.2f} {100 * accuracy:.2f}\n")
    marker = ""
    if default is not None:
        marker = f"set arrow from graph 0, first 97 to graph 1, first 97 nohead dt 2 lc rgb '#888888'\n"
    script = f"""set terminal pngcairo size 720,440 font ',10'
set output '{plot}'
set title 'Tempo estimator, half {half} of the development set: accuracy of the files kept'
set xlabel 'share of files kept (%) as the confidence threshold rises'
set ylabel 'Accuracy 1 of the kept files (%)'
set xrange [0:100] reverse
set yrange [50:100]
set grid
{marker}plot '{data.name}' using 2:3 with linespoints pt 7 ps 0.5 title 'estimator'
"""
    try:
        subprocess.run(["gnuplot"], input=script, text=True, check=True)
    except (OSError, subprocess.CalledProcessError) as error:
        print(f"accuracy-report: no plot: {error}", file=sys.stderr)
    os.unlink(data.name)


if __name__ == "__main__":
    main()
