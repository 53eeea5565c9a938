#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test (no display needed),
# then fuzzes the readers of outside input for 15 s each (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2
# A short fuzzing pass over every reader of outside input (tests/fuzz): a
# crash or a timeout that comes back when its input is played again fails the run.
bash scripts/fuzz.sh 15
