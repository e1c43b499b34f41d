#!/usr/bin/env python3
"""kill -9 trials of `corvane-cli record` on the simulated unit.

Each trial records in a fresh folder, is killed at a random moment, and has
its TEMP file rescued. A trial passes when the rescue succeeds and every
reading of the complete rows written before the kill (both positions above
zero, the last row aside: the rescue keeps one row per pair of channel
readings) is in the rescued run.

usage: kill-trials.py CLI [TRIALS] [SEED]
"""
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

HEADER = "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B"


def data_rows(path):
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    text = text[: text.rfind("\n") + 1]
    lines = text.replace("\r\n", "\n").split("\n")
    if HEADER not in lines:
        return []
    return [l for l in lines[lines.index(HEADER) + 1 :] if l.strip()]


def readings(rows):
    a, b = set(), set()
    for row in rows:
        f = [x.strip() for x in row.split(",")]
        if len(f) < 8:
            continue
        a.add((int(f[0]), int(f[1]), round(float(f[4]), 2)))
        b.add((int(f[2]), int(f[3]), round(float(f[6]), 2)))
    return a, b


def trial(cli, delay):
    folder = tempfile.mkdtemp(prefix="kill-trial-")
    child = subprocess.Popen(
        [cli, "record", "--simulate", "--sim-speed", "10", "--skip-warmup", "--until-stop", "-o", "run.csv"],
        cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(delay)
    child.send_signal(signal.SIGKILL)
    child.wait()
    temp = os.path.join(folder, "TEMP")
    runs = [os.path.join(temp, n) for n in os.listdir(temp)] if os.path.isdir(temp) else []
    runs = [r for r in runs if r.endswith(".csv")]
    if not runs:
        if os.path.exists(os.path.join(folder, "run.csv")):
            return "the run had ended and was saved", 0, 0
        return "before recording", 0, 0
    written = data_rows(runs[0])
    saved = os.path.join(folder, "saved.csv")
    rescue = subprocess.run([cli, "rescue", runs[0], "-o", saved], cwd=folder, capture_output=True, text=True)
    if rescue.returncode != 0 or not os.path.exists(saved):
        return "rescue failed: " + rescue.stderr.strip(), len(written), -1
    kept_a, kept_b = readings(data_rows(saved))
    lost = 0
    for row in written[:-1]:
        (ra,), (rb,) = readings([row])
        if ra[2] > 0 and rb[2] > 0 and (ra not in kept_a or rb not in kept_b):
            lost += 1
    return "rescued", len(written), lost


def main():
    cli = sys.argv[1]
    trials = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 19)
    totals = {"rows": 0, "lost": 0, "rescued": 0}
    for i in range(trials):
        delay = rng.uniform(0.5, 12.0)
        outcome, rows, lost = trial(cli, delay)
        print(f"trial {i + 1:2d}: killed after {delay:5.2f} s: {outcome}, {rows} rows written, {lost} readings lost")
        if outcome == "rescued":
            totals["rescued"] += 1
            totals["rows"] += rows
            totals["lost"] += lost
    print(f"{totals['rescued']} of {trials} kills left a run; {totals['rows']} rows written, "
          f"{totals['lost']} readings lost")


if __name__ == "__main__":
    main()
