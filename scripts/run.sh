#!/usr/bin/env bash
# Sets up the machine, builds, and starts KestrelHTS on the built-in simulated exchange.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh --target kestrelhts
exec ./build/kestrelhts "$@"
