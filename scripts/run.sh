#!/usr/bin/env bash
# Sets up the machine, builds, and starts KestrelHTS on the built-in simulated exchange.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh --target kestrelhts
# First run: a demo login for the simulated exchange, with the market open
# around the clock so there is something live to watch at any hour.
if [ ! -f build/hts.ini ]; then
  umask 077
  printf '\xef\xbb\xbf[LOGIN]\nID=demo\nPW=demo1234\nCERT=\nHOST=sim\nPORT=20001\n[ACCOUNT]\nACNO=55501234501\nACPW=0000\n[SIM]\nALWAYSOPEN=1\n' > build/hts.ini
fi
exec ./build/kestrelhts "$@"
