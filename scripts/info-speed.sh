#!/bin/sh
# Times a day's summary three ways over the same RUNS runs of ROWS rows:
# a shell loop of `corvane-cli info --json FILE`, one `corvane-cli info
# --json FILE...`, and one pandas process reading every file. Prints the
# seconds of each (best of REPEAT) and the ratio of pandas to the one process.
#   scripts/info-speed.sh [CLI] [RUNS] [ROWS] [REPEAT]
set -eu
cli=${1:-build/src/cli/corvane-cli}
runs=${2:-200}
rows=${3:-2000}
repeat=${4:-3}
. "$(dirname "$0")/speed-lib.sh"
pandas_python info-speed
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" "$runs" "$rows" <<'EOF'
import sys, math, os
folder, runs, rows = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
header = ("Corvane Text Data File: {name}\nVersion: 1\nDate: 2024-05-06\nTime: 10:00:00\n\n"
          "pC: 150\nSample Interval: 50 ms\nA:B Duty Cycle: 60:40\nSamples/mm: 20.00\n"
          "Scan Speed: 1.00 mm/sec\nScan Distance: 85.0 mm\n\nData Columns:\n"
          "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n")
for k in range(runs):
    name = "run%03d.csv" % k
    with open(os.path.join(folder, name), "w") as f:
        f.write(header.format(name=name))
        for i in range(rows):
            a = 0.1 + math.exp(-((i - 900 - k) / 40.0) ** 2)
            b = a / 2
            f.write("%d, %d, %d, %d, %.2f, %.6f, %.2f, %.6f, %.2f, %.6f\n" %
                    (1000 + i, 2000, 900 + i, 1800, 0.05 * i, a, 0.05 * i + 0.02, b, 0.05 * i + 0.02, a / b))
EOF

cat > "$work/summary.py" <<'EOF'
import sys, json
import pandas as pd
for path in sys.argv[1:]:
    with open(path) as f:
        lines = f.readlines()
    start = next(i for i, l in enumerate(lines) if l.startswith("Data Columns:")) + 1
    frame = pd.read_csv(path, skiprows=start, skipinitialspace=True)
    print(json.dumps({"file": path, "title": lines[0].split(": ", 1)[1].strip(), "samples": len(frame),
                      "peak": float(frame["AbsA"].max())}))
EOF

loop() { for f in "$work"/run*.csv; do "$cli" info --json "$f"; done; }
one=$(best "$cli" info --json "$work"/run*.csv)
shell=$(best loop)
pandas=$(best "$py" "$work/summary.py" "$work"/run*.csv)
echo "runs $runs x $rows rows: shell loop ${shell} s, one info process ${one} s, pandas ${pandas} s"
echo "one info process against pandas: $(echo "$pandas / $one" | bc -l | xargs printf '%.1f')x"
