#!/usr/bin/env python3
"""kill -9 trials of settings saves (`corvane-cli config set`).

A settings file of many keys is rewritten with a new value, and the writer is
killed at a random moment of the save. A trial passes when the file is still
whole afterwards: every key there, each with its old or its new value (all of
them one or the other), never an empty or half-written file; and the next
save clears whatever work file the killed one left.

usage: kill-settings-trials.py CLI [TRIALS] [SEED]
"""
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

KEYS = 400


def settings(value):
    lines = ["[prefs]"] + [f"key{n:03d} {value}-{n}" for n in range(KEYS)] + ["", "[other]", "baudrate 57600", ""]
    return "\n".join(lines)


def state(path):
    """'old', 'new' or what is wrong with the file."""
    with open(path, encoding="latin-1") as f:
        text = f.read()
    if not text:
        return "empty"
    values = {}
    for line in text.split("\n"):
        if line.startswith("key"):
            key, _, value = line.partition(" ")
            values[key] = value
    if len(values) != KEYS or "baudrate 57600" not in text:
        return f"half-written ({len(values)} keys, {len(text)} bytes)"
    rest = {v.split("-")[0] for k, v in values.items() if k != "key000"}
    if rest == {"old"} and values["key000"] == "old-0":
        return "old"
    if rest == {"old"} and values["key000"] == "fresh":
        return "new"
    return "mixed: " + values["key000"] + ", " + ", ".join(sorted(rest))


def leftovers(folder):
    return [n for n in os.listdir(folder) if n != "prefs.cfg"]


def one_save(cli, path):
    return subprocess.Popen([cli, "config", "set", path, "[prefs]", "key000", "fresh"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    cli = sys.argv[1]
    trials = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 19)
    folder = tempfile.mkdtemp(prefix="kill-settings-")
    path = os.path.join(folder, "prefs.cfg")
    # How long one whole save takes here: the kills fall inside it.
    with open(path, "w") as f:
        f.write(settings("old"))
    started = time.monotonic()
    one_save(cli, path).wait()
    whole = time.monotonic() - started
    failures = 0
    outcomes = {}
    for i in range(trials):
        with open(path, "w") as f:
            f.write(settings("old"))
        delay = rng.uniform(0.0, whole)
        child = one_save(cli, path)
        time.sleep(delay)
        child.send_signal(signal.SIGKILL)
        child.wait()
        outcome = state(path)
        left = leftovers(folder)
        outcomes[outcome] = outcomes.get(outcome, 0) + 1
        if outcome not in ("old", "new"):
            failures += 1
        # The next save finishes and clears the killed one's work file (it is
        # old enough to be known as abandoned once the lock is gone).
        time.sleep(2.1)
        if one_save(cli, path).wait() != 0 or state(path) != "new" or leftovers(folder):
            failures += 1
            outcome += ", next save failed or left " + ", ".join(leftovers(folder))
        print(f"trial {i + 1:2d}: killed after {delay * 1000:6.1f} ms of {whole * 1000:.1f}: {outcome}"
              + (f" (left {', '.join(left)})" if left else ""))
    print(f"{trials} kills: " + ", ".join(f"{k} {v}" for k, v in sorted(outcomes.items()))
          + f"; {failures} failures")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
