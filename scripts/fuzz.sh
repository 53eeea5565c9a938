#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) into ./build-fuzz with clang and
# runs each for a while on a copy of its seed corpus.
#
#   bash scripts/fuzz.sh [seconds=60] [target...]
#
# Targets are named as in tests/fuzz (fuzz_ini or just ini); all by default.
# An input slower than 1 s counts as a timeout. Crash and timeout inputs go to
# build-fuzz/artifacts/<target>/; run one again with
#   build-fuzz/fuzz/<target> build-fuzz/artifacts/<target>/crash-...
# Prints one line per target and exits non-zero when any target crashed or
# timed out.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=$ROOT/build-fuzz

SECONDS_EACH=60
if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
  SECONDS_EACH=$1
  shift
fi

ALL=()
for src in tests/fuzz/fuzz_*.cpp; do
  ALL+=("$(basename "$src" .cpp)")
done
TARGETS=()
for t in "$@"; do
  [[ $t == fuzz_* ]] || t=fuzz_$t
  if [[ ! " ${ALL[*]} " == *" $t "* ]]; then
    echo "fuzz.sh: no target $t (have: ${ALL[*]})" >&2
    exit 2
  fi
  TARGETS+=("$t")
done
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=("${ALL[@]}")

# clang and its fuzzer runtime come with scripts/setup.sh.
if ! command -v clang++ >/dev/null \
   || [ ! -f "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-x86_64.a" ]; then
  bash scripts/setup.sh
fi

# Configure when there is no fuzz build yet (or it was made otherwise).
if ! grep -qs '^KESTREL_FUZZ:BOOL=ON' "$BUILD/CMakeCache.txt" \
   || ! grep -qs '^CMAKE_CXX_COMPILER:.*clang' "$BUILD/CMakeCache.txt"; then
  rm -rf "$BUILD/CMakeCache.txt" "$BUILD/CMakeFiles"
  CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DKESTREL_FUZZ=ON -DKESTREL_TESTS=OFF -DKESTREL_BENCH=OFF >/dev/null
fi
cmake --build "$BUILD" -j2 --target "${TARGETS[@]}"

# Scratch files of the targets go to a private folder (in memory where there
# is one), removed however the run ends.
SCRATCH_BASE=/dev/shm
[ -d "$SCRATCH_BASE" ] && [ -w "$SCRATCH_BASE" ] || SCRATCH_BASE=${TMPDIR:-/tmp}
SCRATCH=$(mktemp -d "$SCRATCH_BASE/kestrel-fuzz-run.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT

stat_of() { # stat name, log
  sed -n "s/^stat::$1: *\([0-9]*\).*/\1/p" "$2" | tail -1
}

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
failed=0
rows=()
for t in "${TARGETS[@]}"; do
  work=$BUILD/corpus-run/$t
  art=$BUILD/artifacts/$t
  log=$BUILD/logs/$t.log
  rm -rf "$work"
  mkdir -p "$work" "$art" "$(dirname "$log")"
  cp tests/fuzz/corpus/"$t"/* "$work"/
  dict=()
  [ -f tests/fuzz/$t.dict ] && dict=(-dict="$ROOT/tests/fuzz/$t.dict")
  mkdir -p "$SCRATCH/$t"

  echo "== $t: ${SECONDS_EACH} s"
  rc=0
  TMPDIR=$SCRATCH/$t "$BUILD/fuzz/$t" -max_total_time="$SECONDS_EACH" -timeout=1 -rss_limit_mb=2048 \
    -report_slow_units=1 -print_final_stats=1 -artifact_prefix="$art/" "${dict[@]}" "$work" \
    >"$log" 2>&1 || rc=$?
  rm -rf "${SCRATCH:?}/$t"

  execs=$(stat_of number_of_executed_units "$log")
  slowest=$(stat_of slowest_unit_time_sec "$log")
  crashes=$(grep -cE 'Test unit written to .*/(crash|leak|oom)-' "$log" || true)
  timeouts=$(grep -cE 'Test unit written to .*/timeout-' "$log" || true)
  slow=$(grep -c '^Slowest unit:' "$log" || true)
  if [ "$rc" -ne 0 ] && [ "$crashes" -eq 0 ] && [ "$timeouts" -eq 0 ]; then
    crashes=1   # stopped without saving an input: see the log
  fi
  # A timeout is played back three times: an input that is slow again is a
  # finding; one that then runs well within the limit every time met a stall
  # of the machine (another job, swapping), which is said and not counted.
  if [ "$timeouts" -gt 0 ] && [ "$crashes" -eq 0 ]; then
    for unit in $(sed -n 's/.*Test unit written to \(.*\/timeout-[0-9a-f]*\).*/\1/p' "$log"); do
      again=0
      for _ in 1 2 3; do
        TMPDIR=$SCRATCH "$BUILD/fuzz/$t" -timeout=1 -rss_limit_mb=2048 "$unit" >>"$log.replay" 2>&1 || again=1
      done
      if [ "$again" -eq 0 ]; then
        echo "   $t: $(basename "$unit") ran within 1 s in three playbacks (a stall of the machine, not counted)"
        timeouts=$((timeouts - 1))
      fi
    done
  fi
  if [ "$crashes" -gt 0 ] || [ "$timeouts" -gt 0 ]; then
    failed=1
    echo "!! $t failed (log: ${log#$ROOT/}):"
    grep -E '^==== |runtime error|ERROR: |SUMMARY: |Test unit written to' "$log" | head -8 | sed 's/^/   /'
  fi
  rows+=("$(printf '%-18s %12s %8s %9s %11s %9s' "$t" "${execs:-?}" "$crashes" "$timeouts" "$slow" "${slowest:-?}")")
done

echo
printf '%-18s %12s %8s %9s %11s %9s\n' target executions crashes timeouts "slow units" "slowest s"
printf '%s\n' "${rows[@]}"
if [ "$failed" -ne 0 ]; then
  echo "fuzzing found failures; inputs are in build-fuzz/artifacts/<target>/" >&2
  exit 1
fi
