#!/bin/sh
# Times a day's profile analysis two ways over the same RUNS runs of ROWS
# rows (polysome-like profiles with noise): one `corvane-cli analyze --json
# FILE...` process, and one numpy + scipy process doing the core of it
# (Savitzky-Golay smoothing, find_peaks for peaks and valleys by prominence,
# trapezoid areas between the valleys above the level before the gradient,
# one JSON line per file). Whole processes, best of REPEAT; prints the
# seconds of each and their ratio.
#   scripts/analyze-speed.sh [CLI] [RUNS] [ROWS] [REPEAT]
set -eu
cli=${1:-build/src/cli/corvane-cli}
runs=${2:-230}
rows=${3:-3000}
repeat=${4:-5}
. "$(dirname "$0")/speed-lib.sh"
python_with analyze-speed "scipy.signal, numpy" python3-scipy
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$py" - "$work" "$runs" "$rows" <<'EOF'
import sys, math, os, random
folder, runs, rows = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
header = ("Corvane Text Data File: {name}\nVersion: 1\nDate: 2024-05-06\nTime: 10:00:00\n\n"
          "pC: 150\nSample Interval: 50 ms\nA:B Duty Cycle: 60:40\nSamples/mm: 37.50\n"
          "Scan Speed: 1.00 mm/sec\nScan Distance: 80.0 mm\n\nData Columns:\n"
          "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n")
# top, 40S, 60S, 80S and polysomes 2 to 8 (mm, width, height), as the simulator's gradient
peaks = [(4, 2.2, 1.4), (20, 1.1, 0.22), (25, 1.2, 0.35), (31, 1.4, 0.95), (38, 1.3, 0.55), (43.5, 1.3, 0.44),
         (48.5, 1.35, 0.35), (53, 1.35, 0.27), (57.2, 1.4, 0.21), (61.2, 1.4, 0.16), (65, 1.45, 0.12)]
random.seed(29)
for k in range(runs):
    name = "run%03d.csv" % k
    scale = [random.uniform(0.8, 1.2) for _ in peaks]
    shift = random.uniform(-1.0, 1.0)
    with open(os.path.join(folder, name), "w") as f:
        f.write(header.format(name=name))
        for i in range(rows):
            x = 80.0 * i / (rows - 1)
            a = 0.05 + 0.0012 * x + random.gauss(0, 0.0005)
            for (c, w, h), s in zip(peaks, scale):
                z = (x - c - shift) / w
                if z * z < 64:
                    a += s * h * math.exp(-0.5 * z * z)
            f.write("%d, %d, %d, %d, %.2f, %.6f, %.2f, %.6f, %.2f, %.6f\n" %
                    (1000 + i, 2000, 900 + i, 1800, x, a, x, a / 2, x, 2.0))
EOF

cat > "$work/analyze.py" <<'EOF'
import sys, json
import numpy as np
from scipy.signal import savgol_filter, find_peaks
for path in sys.argv[1:]:
    with open(path) as f:
        start = next(i for i, l in enumerate(f) if l.startswith("Data Columns:")) + 2
    data = np.loadtxt(path, delimiter=",", skiprows=start, usecols=(4, 5))
    x, y = data[:, 0], data[:, 1]
    window = min(51, max(5, len(y) // 100)) | 1
    smooth = savgol_filter(y, window, 3)
    base = np.median(y[:max(5, len(y) // 50)])
    level = smooth - base
    d2 = np.abs(y[:-2] - 2 * y[1:-1] + y[2:])
    prominence = max(8 * 1.4826 * np.median(d2) / np.sqrt(6), 0.01 * (level.max() - level.min()))
    peaks, _ = find_peaks(level, prominence=prominence)
    valleys, _ = find_peaks(-level, prominence=prominence)
    edges = [0] + list(valleys) + [len(y) - 1]
    areas = [float(np.trapz(y[a:b + 1] - base, x[a:b + 1])) for a, b in zip(edges[:-1], edges[1:])]
    print(json.dumps({"file": path, "samples": len(y), "peaks": [int(p) for p in peaks],
                      "valleys": [int(v) for v in valleys], "areas": areas}))
EOF

ours=$(best "$cli" analyze --json "$work"/run*.csv)
theirs=$(best "$py" "$work/analyze.py" "$work"/run*.csv)
echo "runs $runs x $rows rows: one analyze process ${ours} s, numpy + scipy ${theirs} s (best of $repeat)"
echo "one analyze process against numpy + scipy: $(echo "$theirs / $ours" | bc -l | xargs printf '%.1f')x"
