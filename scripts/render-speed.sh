#!/bin/sh
# Times the graph page of one noisy run as whole processes, best of REPEAT:
# `corvane-cli render -o page.png RUN` (the 1100 x 850 image Save Graph
# Image makes), the same with --dpi 300 (the print path), and one numpy +
# matplotlib process drawing the same three traces (Abs A, Abs B, the ratio
# on its own axis) from the same file to an 1100 x 850 PNG.
#   scripts/render-speed.sh [CLI] [ROWS] [REPEAT]
# The run has the detector's noise: each value carries Gaussian noise of
# 0.012 AU, so neighbouring samples differ by about 0.017 AU.
set -eu
cli=${1:-build/src/cli/corvane-cli}
rows=${2:-25000}
repeat=${3:-5}
. "$(dirname "$0")/speed-lib.sh"
python_with render-speed "matplotlib, numpy" python3-matplotlib
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT

"$py" - "$work/noisy.csv" "$rows" <<'EOF'
import sys, math, random
path, rows = sys.argv[1], int(sys.argv[2])
random.seed(7)
header = ("Corvane Text Data File: noisy.csv\nVersion: 1\nDate: 2024-05-06\nTime: 10:00:00\n\n"
          "pC: 150\nSample Interval: 50 ms\nA:B Duty Cycle: 60:40\nSamples/mm: 300.00\n"
          "Scan Speed: 1.00 mm/sec\nScan Distance: 85.0 mm\n\nData Columns:\n"
          "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n")
def band(mm, at, width, height):
    d = (mm - at) / width
    return height * math.exp(-d * d)
with open(path, "w") as f:
    f.write(header)
    for i in range(rows):
        mm = 85.0 * i / rows
        a = 0.3 + 0.004 * mm + band(mm, 1.5, 0.6, 1.9) + band(mm, 22, 3, 0.9) + band(mm, 38, 2.2, 1.45) \
            + band(mm, 61, 4, 1.1) + random.gauss(0, 0.012)
        b = 0.25 + 0.003 * mm + band(mm, 1.5, 0.6, 1.2) + band(mm, 22, 3, 0.35) + band(mm, 38, 2.2, 0.95) \
            + random.gauss(0, 0.012)
        f.write("%d, %d, %d, %d, %.2f, %.6f, %.2f, %.6f, %.2f, %.6f\n" %
                (1000 + i, 2000, 900 + i, 1800, mm, a, mm + 0.02, b, mm + 0.02, a / b))
EOF

cat > "$work/page.py" <<'EOF'
import sys
import numpy as np
import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt
path, out = sys.argv[1], sys.argv[2]
with open(path) as f:
    start = next(i for i, line in enumerate(f) if line.startswith("Data Columns:")) + 2
data = np.loadtxt(path, delimiter=",", skiprows=start)
n = np.arange(len(data))
fig, ax = plt.subplots(figsize=(11, 8.5), dpi=100)
ax.plot(n, data[:, 5], color="red", linewidth=1)
ax.plot(n, data[:, 7], color="blue", linewidth=1)
ax.grid(True, linestyle=":")
ax.set_xlabel("Sample")
ax.set_ylabel("Absorbance (AU)")
right = ax.twinx()
right.plot(n, data[:, 9], color="green", linewidth=1)
right.set_ylabel("Abs A / Abs B")
fig.savefig(out, dpi=100)
EOF

page=$(best_time "$cli" render -o "$work/page.png" "$work/noisy.csv")
print=$(best_time "$cli" render --dpi 300 -o "$work/print.png" "$work/noisy.csv")
mpl=$(best_time "$py" "$work/page.py" "$work/noisy.csv" "$work/mpl.png")
echo "noisy run of $rows rows, best of $repeat, load $(cut -d' ' -f1-3 /proc/loadavg):"
echo "  render to PNG ${page} s, render --dpi 300 ${print} s, numpy + matplotlib ${mpl} s"
echo "  render against matplotlib: $(echo "$mpl / $page" | bc -l | xargs printf '%.1f')x"
