#!/usr/bin/env python3
"""Trials of the command line where two commands meet one file, or the link is
dead from the start, each in a fresh folder on the simulated unit.

  same-output   two `record`s with the same -o at once: every run started is
                kept (the saved file, or its TEMP file), and exactly one says
                "saved"; the other exits 1.
  rewrite       while a run is recorded, `plan`, `config set`, `render -o` and
                `export --force -o` are pointed at its TEMP file at once: each is
                refused (non-zero), and the run is saved with every row it
                recorded.
  plan-dedupe   `plan` and `dedupe` on one run at once: both exit 0 and the
                file ends with the plan and without the repeated rows.
  dead-link     `record` on a unit unplugged or silent as the run starts, or a
                `corvane-sim` on a pty killed right after the piston reached
                the upper limit: the command ends (no hang) with a non-zero
                exit and never says "saved".

usage: race-trials.py BUILD_DIR [TRIALS] [KIND...]
Prints one line per kind: trials, passed, and what failed.
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time

HEADER = "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B"


def rows(path):
    try:
        with open(path, "rb") as f:
            lines = f.read().decode("latin-1").replace("\r\n", "\n").split("\n")
    except OSError:
        return []
    if HEADER not in lines:
        return []
    return [l for l in lines[lines.index(HEADER) + 1:] if l.strip()]


def temp_runs(folder):
    temp = os.path.join(folder, "TEMP")
    if not os.path.isdir(temp):
        return []
    return [os.path.join(temp, n) for n in os.listdir(temp) if n.endswith(".csv")]


def record(cli, folder, extra, seconds="3"):
    return subprocess.Popen([cli, "record", "--simulate", "--sim-speed", "20", "--skip-warmup", "--seconds", seconds]
                            + extra, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def same_output(cli, _build):
    folder = tempfile.mkdtemp(prefix="race-")
    a = record(cli, folder, ["-o", "same.csv"])
    b = record(cli, folder, ["-o", "same.csv"])
    outs = [p.communicate() for p in (a, b)]
    codes = sorted([a.returncode, b.returncode])
    saved = sum("saved " in o for o, _ in outs)
    kept = (1 if rows(os.path.join(folder, "same.csv")) else 0) + sum(1 for t in temp_runs(folder) if rows(t))
    ok = codes == [0, 1] and saved == 1 and kept == 2
    return ok, f"exits {codes}, {saved} said saved, {kept} of 2 runs kept"


def wait_for_rows(folder, n, timeout=30):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        runs = temp_runs(folder)
        if len(runs) == 1 and len(rows(runs[0])) >= n:
            return runs[0]
        time.sleep(0.05)
    return None


def rewrite(cli, _build):
    folder = tempfile.mkdtemp(prefix="race-")
    rec = record(cli, folder, ["-o", "run.csv"], seconds="100")
    temp = wait_for_rows(folder, 20)
    if temp is None:
        rec.kill()
        return False, "no TEMP run"
    other = os.path.join(folder, "other.csv")
    with open(temp, "rb") as src, open(other, "wb") as dst:
        dst.write(src.read())
    commands = [
        [cli, "plan", temp, "--zone", "0", "5", "5", "--limit", "100", "--volume-per-mm", "0.1"],
        [cli, "config", "set", temp, "[prefs]", "k", "1"],
        [cli, "render", "--force", "-o", temp, other],
        [cli, "export", "--force", "-o", temp, other, other],
    ]
    # All at once, while the run is recorded: each waits for the run's lock.
    procs = [subprocess.Popen(c, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE) for c in commands]
    for p in procs:
        p.communicate()
    results = procs
    out, err = rec.communicate()
    refused = [r.returncode != 0 for r in results]
    m = re.search(r"saved .*: (\d+) samples", out)
    saved = os.path.join(folder, "run.csv")
    whole = m is not None and len(rows(saved)) > 20 and "[prefs]" not in open(saved, errors="replace").read()
    ok = all(refused) and rec.returncode == 0 and whole
    return ok, f"refused {sum(refused)} of 4, record exit {rec.returncode}, saved whole {whole}"


def plan_dedupe(cli, _build):
    folder = tempfile.mkdtemp(prefix="race-")
    run = os.path.join(folder, "run.csv")
    body = "".join(f"{n}, {n}, {n}, {n}, {0.1 * (n // 2):.2f}, 0.1, {0.1 * (n // 2) - 0.05:.2f}, 0.1, 0.00, 1.0\n"
                   for n in range(2, 4000))
    with open(run, "w") as f:
        f.write("Corvane Text Data File: run.csv\nVersion: 0.1.0\nDate: 2024-01-02\nTime: 10:00:00\n\n"
                "Data Columns:\n" + HEADER + "\n" + body)
    procs = [subprocess.Popen(c, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
             for c in ([cli, "plan", run, "--zone", "0", "50", "5", "--limit", "100", "--volume-per-mm", "0.1"],
                       [cli, "dedupe", run])]
    for p in procs:
        p.communicate()
    text = open(run).read()
    left = rows(run)
    ok = all(p.returncode == 0 for p in procs) and "[overlay plan]" in text and len(left) == 1999
    return ok, f"exits {[p.returncode for p in procs]}, plan {'[overlay plan]' in text}, rows {len(left)}"


def dead_link(cli, build, fault):
    folder = tempfile.mkdtemp(prefix="race-")
    if fault == "pty":
        sim = subprocess.Popen([os.path.join(build, "src/sim/corvane-sim"), "--link", os.path.join(folder, "ttyUSB0")],
                               stdout=subprocess.PIPE, text=True)
        sim.stdout.readline()
        with open(os.path.join(folder, "prefs.cfg"), "w") as f:
            f.write("[prefs]\nbaudrate 57600\ncomport 101\n[ports]\ncom101 " + os.path.join(folder, "ttyUSB0") + "\n")
        rec = subprocess.Popen([cli, "record", "--port", "101", "--skip-warmup", "--until-stop", "-o", "run.csv"],
                               cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        err = []

        def watch():
            for line in rec.stderr:
                err.append(line)
                if "Piston positioned to upper limit." in line:
                    sim.kill()
        t = threading.Thread(target=watch)
        t.start()
    else:
        rec = subprocess.Popen([cli, "record", "--simulate", "--sim-speed", "10", "--skip-warmup", "--sim-faults",
                                fault, "--until-stop", "-o", "run.csv"], cwd=folder, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    try:
        out = rec.stdout.read() if fault == "pty" else None
        code = rec.wait(timeout=120 if fault == "pty" else 60)
        if fault != "pty":
            out, _ = rec.communicate()
    except subprocess.TimeoutExpired:
        rec.kill()
        return False, "hung: killed"
    if fault == "pty":
        t.join()
        sim.kill()
    ok = code != 0 and "saved" not in (out or "")
    return ok, f"exit {code}, said saved {'saved' in (out or '')}"


def main():
    build = os.path.abspath(sys.argv[1])  # the commands run in their own folders
    trials = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    kinds = sys.argv[3:] or ["same-output", "rewrite", "plan-dedupe", "unplug", "silence", "pty"]
    cli = os.path.join(build, "src/cli/corvane-cli")
    runs = {
        "same-output": lambda: same_output(cli, build),
        "rewrite": lambda: rewrite(cli, build),
        "plan-dedupe": lambda: plan_dedupe(cli, build),
        "unplug": lambda: dead_link(cli, build, "unplug=13+200"),
        "silence": lambda: dead_link(cli, build, "silence=12+200"),
        "pty": lambda: dead_link(cli, build, "pty"),
    }
    for kind in kinds:
        passed = 0
        failures = []
        for _ in range(trials):
            ok, what = runs[kind]()
            passed += ok
            if not ok:
                failures.append(what)
        print(f"{kind}: {trials} trials, {passed} passed" + (f"; failed: {failures}" if failures else ""), flush=True)


if __name__ == "__main__":
    main()
