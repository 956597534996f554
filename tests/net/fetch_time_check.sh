#!/usr/bin/env bash
# The engine's time limits with the real stacks and the real limits (30 s):
# a range whose answer stalls or trickles a byte every 20 s is asked for
# again within 35 s (at once by an idle worker, once it counts as stalled),
# and the download completes; a cancel ends a download whose reads block on
# a silent server within 1 s. Under Wine closing a request handle does not
# end a call blocked on it: the engine goes on without that worker. A server
# that accepts and drops every connection for 20 s is waited out.
#   fetch_time_check.sh WINE_RUN FETCH_EXE STATE_DIR
set -uo pipefail
wine_run=${1:?}; fetch=${2:?}; state=${3:?}
port=$(cat "$state/main.port")
mkdir -p "$state/root" "$state/fetch"
head -c 1234567 /dev/urandom >"$state/root/slow.bin"
fails=0
check() { if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; fails=$((fails + 1)); fi; }
run_tag=$$-$(date +%s%N)
# The faulted answer's request time, the next request for the same range and
# the delay between them, from the server's record of this tag.
reconnect() { # tag -> "fault_time next_time delay_s"
  curl -s "http://localhost:$port/requests?tag=$1" | python3 -c '
import json, sys
rows = [json.loads(l) for l in sys.stdin if l.strip()]
bad = [r for r in rows if r.get("fault")]
if not bad:
    sys.exit("no faulted answer")
f = bad[0]
last = f["range"].split("-")[1]
later = [r for r in rows if r["time"] > f["time"] and r.get("range") and r["range"].split("-")[1] == last]
print("%.1f %.1f %.1f" % (f["time"], later[0]["time"], later[0]["time"] - f["time"]) if later else "none")'
}
for mode in "stall=1" "trickle=20"; do
  tag="t-${mode%%=*}-$run_tag"
  out="$state/fetch/time-${mode%%=*}.txt"
  rm -f "$state/fetch/slow.bin"
  "$wine_run" "$fetch" "https://localhost:$port/files/slow.bin?$mode&at=600000&tag=$tag" "Z:$state/fetch/slow.bin" 3 \
    >"$out" 2>&1 </dev/null
  rc=$?
  check "$mode: exit code 0 ($rc)" test "$rc" = 0
  check "$mode: file byte-identical" cmp -s "$state/fetch/slow.bin" "$state/root/slow.bin"
  times=$(reconnect "$tag")
  echo "     $mode: faulted answer at, range asked again at, delay (s): $times"
  limit=35
  check "$mode: the range is asked for again within $limit s" \
        awk -v d="${times##* }" -v l="$limit" 'BEGIN { exit !(d != "none" && d + 0 <= l) }'
  echo "     $mode: $(tr -d '\r' <"$out" | grep elapsed_ms)"
done
out="$state/fetch/time-cancel.txt"
"$wine_run" "$fetch" "https://localhost:$port/files/slow.bin?stall=1&times=100&at=1000&tag=tc-$run_tag" \
  "Z:$state/fetch/cancel.bin" 3 --cancel-after=5000 >"$out" 2>&1 </dev/null
check "cancel: exits 1" test "$?" = 1
ms=$(tr -d '\r' <"$out" | sed -n 's/^elapsed_ms //p')
echo "     cancel raised at 5000 ms, the download ended at ${ms:-?} ms"
check "cancel: ends within 1 s of the cancel (${ms:-?} ms)" test "${ms:-999999}" -le 6000
# Dropped connections: after the first MiB every answer is cut, and for
# 20 s every request is read and its connection closed without an answer.
out="$state/fetch/time-drop.txt"
log="$(dirname "$fetch")/Log/pathwick-fetch.log"
lines_before=$(wc -l <"$log" 2>/dev/null || echo 0)
rm -f "$state/fetch/drop.bin"
"$wine_run" "$fetch" "https://localhost:$port/files/slow.bin?down=20&downmode=drop&downafter=1048576&tag=td-$run_tag" \
  "Z:$state/fetch/drop.bin" 5 >"$out" 2>&1 </dev/null
check "dropped for 20 s: exit code 0" test "$?" = 0
check "dropped for 20 s: file byte-identical" cmp -s "$state/fetch/drop.bin" "$state/root/slow.bin"
ms=$(tr -d '\r' <"$out" | sed -n 's/^elapsed_ms //p')
echo "     dropped for 20 s: the download took ${ms:-?} ms"
check "dropped for 20 s: waited at the gate, not failed" \
  bash -c "tail -n +$((lines_before + 1)) '$log' | grep -aq 'no network (error ' && ! tail -n +$((lines_before + 1)) '$log' | grep -aq 'failed for good'"
check "dropped for 20 s: done within 5 s of the server's return (${ms:-?} ms)" test "${ms:-999999}" -le 25000
[ "$fails" = 0 ]
