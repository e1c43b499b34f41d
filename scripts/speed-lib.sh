# Sourced by the speed scripts that time whole processes against Python.

# Sets py to the first Python that imports the modules of $2 (a
# distribution's package may sit beside another Python that comes first on
# the PATH); $1 names the script and $3 the package in the message when there
# is none.
python_with() {
    py=
    for candidate in ${PYTHON:-} python3 /usr/bin/python3; do
        if "$candidate" -c "import $2" 2>/dev/null; then py=$candidate; return 0; fi
    done
    echo "$1: no python3 with $2 (apt-get install $3)" >&2
    exit 1
}

# The same for pandas.
pandas_python() {
    python_with "$1" pandas python3-pandas
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
