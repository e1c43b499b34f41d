#!/usr/bin/env bash
# `make run`: starts Corvane on the built-in simulated instrument, in a
# working folder (./run below the repository, or $CORVANE_RUN_DIR) whose
# missing settings files are copied from resources/ first; files already
# there are never replaced.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case "$build" in
  /*) ;;
  *) build="$repo/$build" ;;
esac
work=${CORVANE_RUN_DIR:-$repo/run}
corvane="$build/src/corvane"
cli="$build/src/cli/corvane-cli"
mkdir -p "$work"

if [ -x "$corvane" ]; then
  (cd "$work" && "$corvane" --seed)
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is available (DISPLAY and WAYLAND_DISPLAY are empty): the Corvane window cannot open here."
  if [ -x "$cli" ] && "$cli" --help 2>/dev/null | grep -q '^  record '; then
    run_file="$work/run-$(date +%Y%m%d-%H%M%S).csv"
    echo "Recording a run on the simulated instrument without a window instead:"
    echo "  corvane-cli record --simulate --seconds 60 -o $run_file"
    cd "$work"
    status=0
    "$cli" record --simulate --seconds 60 -o "$run_file" || status=$?
    if [ -f "$run_file" ]; then
      echo "The run file is $run_file (corvane-cli info shows what it holds)."
    fi
    exit "$status"
  fi
  echo "Headless recording (corvane-cli record) is not part of this build yet. What exists:"
  echo "  $corvane --simulate          the desktop program, where a display is available"
  if [ -x "$build/src/sim/corvane-sim" ]; then
    echo "  $build/src/sim/corvane-sim   the simulated instrument on a pseudo-terminal"
  fi
  if [ -x "$cli" ]; then
    echo "  $cli, with these commands:"
    "$cli" --help | sed -n '/^commands:/,$p' | sed '1d'
  fi
  exit 0
fi

if [ ! -x "$corvane" ]; then
  echo "The desktop program was not built (is Qt 6 installed? scripts/bootstrap.sh installs it)."
  exit 1
fi
cd "$work"
echo "Corvane works in $work"
exec "$corvane" --simulate
