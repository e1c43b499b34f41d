#!/usr/bin/env bash
# `make run`: starts Corvane on the built-in simulated instrument.
set -euo pipefail
build=${1:-build}
if [ ! -x "$build/src/corvane" ]; then
  echo "The desktop program is not part of this build yet."
  echo "What exists today: $build/src/cli/corvane-cli (run it with --help for its commands)."
  "$build/src/cli/corvane-cli" --help
  exit 0
fi
exec "$build/src/corvane" --simulate
