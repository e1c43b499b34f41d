#!/bin/sh
# Times reading one .pks profile of ROWS rows (decimal commas, CR LF, a tube
# every 600 rows) two ways, each as a whole process, best of REPEAT:
# `corvane-cli info --json FILE`, and pandas' read_csv with whitespace
# separation and decimal comma (Debian's python3-pandas) that also counts
# the rows. Prints the seconds of each and the ratio of pandas to ours.
#   scripts/pks-speed.sh [CLI] [ROWS] [REPEAT]
set -eu
cli=${1:-build/src/cli/corvane-cli}
rows=${2:-1000000}
repeat=${3:-5}
. "$(dirname "$0")/speed-lib.sh"
pandas_python pks-speed
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file="$work/profile.pks"

python3 - "$file" "$rows" <<'PY'
import math, sys
path, rows = sys.argv[1], int(sys.argv[2])
with open(path, "w", newline="") as f:
    f.write("#        El Tm         Val   Rack   Tube    Peak   Waste\r\n")
    for i in range(1, rows + 1):
        tube = (i // 600) % 96
        line = "%-6d %10.6f %10.4f %6d %6d %7s %7s\r\n" % (
            i, i / 600.0, 2.0 + math.sin(i * 1e-3) + 0.5 * math.sin(i * 7e-5),
            0 if tube == 0 else 1 + i // 57600, tube, "True" if i % 1000 < 20 else "False", "False")
        f.write(line.replace(".", ","))
PY

cat > "$work/read.py" <<'PY'
import sys
import pandas as pd
# "El Tm" holds a blank, so the header line is skipped and the columns named.
frame = pd.read_csv(sys.argv[1], sep=r"\s+", decimal=",", skiprows=1, header=None,
                    names=["row", "el_tm", "val", "rack", "tube", "peak", "waste"])
print(len(frame), frame["val"].max())
PY

"$cli" info --json "$file" | grep -q "\"samples\":$rows}" || { echo "pks-speed: corvane-cli did not read $rows rows" >&2; exit 1; }
ours=$(best "$cli" info --json "$file")
theirs=$(best "$py" "$work/read.py" "$file")
echo "pks of $rows rows ($(du -m "$file" | cut -f1) MB): corvane-cli info ${ours} s, pandas read_csv ${theirs} s"
echo "corvane-cli against pandas: $(echo "$theirs / $ours" | bc -l | xargs printf '%.1f')x"
