# Sourced by the speed scripts that time whole processes against pandas.

# Sets py to the first Python that has pandas (a distribution's pandas may
# sit beside another Python that comes first on the PATH); $1 names the
# script in the message when there is none.
pandas_python() {
    py=
    for candidate in ${PYTHON:-} python3 /usr/bin/python3; do
        if "$candidate" -c 'import pandas' 2>/dev/null; then py=$candidate; return 0; fi
    done
    echo "$1: no python3 with pandas (apt-get install python3-pandas)" >&2
    exit 1
}

# The best wall time of $repeat runs of the command, in seconds.
best() {
    best=
    for _ in $(seq "$repeat"); do
        start=$(date +%s.%N)
        "$@" > /dev/null
        end=$(date +%s.%N)
        t=$(echo "$end - $start" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    printf '%.3f' "$best"
}
