#!/usr/bin/env bash
# Kill test of the files the program keeps beside itself (hts.ini, draws.json,
# sim_account.json): runs it under Xvfb in a prepared folder, places orders,
# draws and changes settings through the window, kills it at random moments
# (also half way through a normal close and, under strace, right at a save)
# and checks after every kill that each file is an old or a whole new
# version, that nothing on disk went back, and that the program starts again.
# A developer's tool, not run in CI: about 6 s a round (200 rounds: 20 min).
#   bash tools/killtest/killtest.sh [rounds=200] [seed]
# Environment: KILLTEST_RESULTS=folder (default build-kill/killtest-<time>),
# KILLTEST_NO_BUILD=1 (use build-kill/kestrelhts as it is),
# KILLTEST_NO_INJECT=1 (no rounds under strace), KILLTEST_ONLY=anytime|close|startup|inject
# (every round ends that way).
# The checker's own tests: python3 tools/killtest/test_killtest.py
# Needs: xvfb-run, xdotool, python3; strace and imagemagick's import are used
# when present (Debian: apt-get install -y xvfb xdotool strace imagemagick).
set -euo pipefail
cd "$(dirname "$0")/../.."
ROUNDS=${1:-200}
SEED=${2:-}
B=build-kill

for tool in xvfb-run xdotool python3; do
  command -v "$tool" >/dev/null || { echo "killtest: $tool is missing (apt-get install -y xvfb xdotool python3)" >&2; exit 2; }
done
command -v strace >/dev/null || echo "killtest: no strace: no kills injected at a save" >&2

if [ -z "${KILLTEST_NO_BUILD:-}" ]; then
  cmake -S . -B "$B" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_TESTS=OFF -DKESTREL_BENCH=OFF >/dev/null
  cmake --build "$B" -j2 --target kestrelhts >/dev/null
fi

RES=${KILLTEST_RESULTS:-$B/killtest-$(date +%Y%m%d-%H%M%S)}
APP=$RES/app
mkdir -p "$APP"
# The program keeps its files beside the executable: a copy of it (and of
# the Res folder it needs) in a folder of its own.
cp "$B/kestrelhts" "$APP/"
rm -rf "$APP/Res"
cp -r "$B/Res" "$APP/Res"
rm -f "$APP/hts.ini" "$APP/draws.json" "$APP/sim_account.json"
umask 077
# Logs in by itself to the built-in simulated exchange; the window at (0, 0)
# at 1600 x 950 (killtest.py clicks by position); no order confirmation box.
printf '\xef\xbb\xbf[LOGIN]\nID=demo\nPW=demo1234\nHOST=sim\n[ACCOUNT]\nACNO=55501234501\nACPW=0000\n[SIM]\nALWAYSOPEN=1\nRATE=10\nSTATE=sim_account.json\n[LAYOUT]\nX=0\nY=0\nW=1600\nH=950\n[UI]\nCONFIRM=0\nLASTCODE=005930\n' \
  > "$APP/hts.ini"

ARGS=(--app "$APP" --results "$RES" --rounds "$ROUNDS")
[ -n "$SEED" ] && ARGS+=(--seed "$SEED")
[ -n "${KILLTEST_NO_INJECT:-}" ] && ARGS+=(--no-inject)
[ -n "${KILLTEST_ONLY:-}" ] && ARGS+=(--only "$KILLTEST_ONLY")
echo "killtest: $ROUNDS rounds, results in $RES"
exec xvfb-run -a -s "-screen 0 1600x950x24 -nolisten tcp -noreset" python3 tools/killtest/killtest.py "${ARGS[@]}"
