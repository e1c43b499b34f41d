#!/usr/bin/env python3
"""kill -9 trials of `corvane-cli record`, or of the desktop program's
recording, on the simulated unit.

Each trial records in a fresh folder, is killed at a random moment, and has
its TEMP file rescued. A trial passes when the rescue succeeds and every
reading of the complete rows written before the kill (both positions above
zero, the last row aside: the rescue keeps one row per pair of channel
readings) is in the rescued run.

usage: kill-trials.py CLI [TRIALS] [SEED] [--desktop CORVANE]

With --desktop the desktop program is driven on $DISPLAY (a window manager
running there) with xdotool as an operator would: COM port, a name, the
warm-up's Continue, the set-up pages closed, START RECORD (F1).
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


def xdo(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout.split()


def window(title, timeout=60.0):
    """The first visible window whose name matches title (a regex), waited for."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        found = xdo("search", "--onlyvisible", "--name", title)
        if found:
            return found[0]
        time.sleep(0.2)
    raise RuntimeError("no window " + title)


def geometry(wid):
    values = dict(line.split("=") for line in subprocess.run(
        ["xdotool", "getwindowgeometry", "--shell", wid], capture_output=True, text=True).stdout.split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def start_desktop_recording(corvane, folder):
    """Starts the program in folder and brings it to a recording run."""
    env = dict(os.environ, TMPDIR=folder)  # its own single-instance lock
    child = subprocess.Popen([corvane, "--simulate"], cwd=folder, env=env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    xdo("windowactivate", "--sync", window("^Corvane Serial COM Port$"))
    xdo("key", "Return")
    xdo("windowactivate", "--sync", window("^INTRO$"))
    xdo("type", "kt")
    xdo("key", "Return")
    # The connection window: Continue whenever it is not warming up, until it
    # has gone and the USER page is up.
    window("^Corvane v[0-9]")  # it comes back after the INTRO page
    end = time.monotonic() + 120
    gone = 0  # it hides between some of its steps
    while time.monotonic() < end and gone < 8:
        conn = xdo("search", "--onlyvisible", "--name", "^Corvane v[0-9]")
        gone = 0 if conn else gone + 1
        if not conn:
            time.sleep(1.0)
            continue
        if "Warming" not in subprocess.run(["xdotool", "getwindowname", conn[0]],
                                           capture_output=True, text=True).stdout:
            x, y, w, _ = geometry(conn[0])
            xdo("mousemove", str(x + w - 195), str(y + 25), "click", "1")
        time.sleep(1.0)
    for title in ("^Scan Setup$", "^USER$"):
        xdo("windowactivate", "--sync", window(title))
        xdo("key", "Escape")
        time.sleep(0.5)
    xdo("windowactivate", "--sync", window("^Corvane version"))
    xdo("key", "F1")
    temp = os.path.join(folder, "TEMP")
    end = time.monotonic() + 30
    while time.monotonic() < end and not (os.path.isdir(temp) and os.listdir(temp)):
        time.sleep(0.1)
    return child


def trial(cli, delay, corvane=None):
    folder = tempfile.mkdtemp(prefix="kill-trial-")
    if corvane:
        child = start_desktop_recording(corvane, folder)
    else:
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
    args = sys.argv[1:]
    corvane = None
    if "--desktop" in args:
        at = args.index("--desktop")
        corvane = args[at + 1]
        del args[at:at + 2]
    cli = args[0]
    trials = int(args[1]) if len(args) > 1 else 20
    rng = random.Random(int(args[2]) if len(args) > 2 else 19)
    totals = {"rows": 0, "lost": 0, "rescued": 0}
    for i in range(trials):
        delay = rng.uniform(0.5, 12.0)
        outcome, rows, lost = trial(cli, delay, corvane)
        print(f"trial {i + 1:2d}: killed after {delay:5.2f} s: {outcome}, {rows} rows written, {lost} readings lost")
        if outcome == "rescued":
            totals["rescued"] += 1
            totals["rows"] += rows
            totals["lost"] += lost
    print(f"{totals['rescued']} of {trials} kills left a run; {totals['rows']} rows written, "
          f"{totals['lost']} readings lost")


if __name__ == "__main__":
    main()
