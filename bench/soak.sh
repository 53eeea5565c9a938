#!/usr/bin/env bash
# Runs the program on the simulated exchange at a high trade rate under Xvfb
# for a while and reports what a user would feel: CPU and resident memory
# sampled every second, and every stall of the event loop over 50 ms (a
# measuring build whose 10 ms timer reports its own lateness).
#   bash bench/soak.sh [seconds=300] [rate=50]
set -euo pipefail
cd "$(dirname "$0")/.."
SECS=${1:-300}
RATE=${2:-50}
B=build-soak
cmake -S . -B "$B" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_STALL_WATCH=ON -DKESTREL_TESTS=OFF \
  -DKESTREL_BENCH=OFF >/dev/null
cmake --build "$B" -j2 --target kestrelhts >/dev/null
rm -f "$B/hts.ini" "$B/draws.json"
umask 077
printf '\xef\xbb\xbf[LOGIN]\nID=demo\nPW=demo1234\nHOST=sim\n[ACCOUNT]\nACNO=55501234501\nACPW=0000\n[SIM]\nALWAYSOPEN=1\nRATE=%s\nSTATE=\n[LAYOUT]\nX=0\nY=0\nW=1600\nH=950\n' \
  "$RATE" > "$B/hts.ini"
OUT=$(mktemp -d)
xvfb-run -a -s "-screen 0 1600x950x24" bash -c "
  ./$B/kestrelhts 2> '$OUT/stderr' &
  P=\$!
  HZ=\$(getconf CLK_TCK)
  sleep 5  # logged in, start-up loads in
  prev=\$(awk '{print \$14+\$15}' /proc/\$P/stat)
  for i in \$(seq $SECS); do
    sleep 1
    now=\$(awk '{print \$14+\$15}' /proc/\$P/stat)
    rss=\$(awk '/VmRSS/{print \$2}' /proc/\$P/status)
    echo \"\$(( (now - prev) * 100 / HZ )) \$rss\" >> '$OUT/samples'
    prev=\$now
  done
  kill \$P
  wait \$P || true
"
awk '{c+=$1; if($1>cm)cm=$1; if(m==0||$2<m)m=$2; if($2>M)M=$2; n++} END {
  printf "%d s at RATE=%s: CPU mean %.1f %%, max %d %% of one core; RSS %.0f..%.0f MB\n", n, "'"$RATE"'", c/n, cm, m/1024, M/1024 }' \
  "$OUT/samples"
stalls=$(grep -c '^stall' "$OUT/stderr" || true)
echo "event-loop stalls over 50 ms: $stalls; $(grep '^worst' "$OUT/stderr" || echo 'worst lateness: not reported')"
grep '^stall' "$OUT/stderr" | sort -k2 -n -r | head -5 || true
