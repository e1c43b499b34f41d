# Sourced by the speed scripts: `best CMD ARGS...` prints the seconds of the
# fastest of $repeat whole runs of CMD (its output thrown away), and
# `python_with MODULE...` the first Python that imports them all (a
# distribution's package may sit beside another Python that comes first on
# the PATH), or nothing.
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

python_with() {
    for candidate in ${PYTHON:-} python3 /usr/bin/python3; do
        if "$candidate" -c "import $*" 2>/dev/null; then echo "$candidate"; return; fi
    done
}
