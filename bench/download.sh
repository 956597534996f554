#!/usr/bin/env bash
# Download benchmark, side by side in one run:
#   1. nginx over TLS, every connection throttled (limit_rate): the engine
#      (pathwick-fetch.exe under Wine, 5 workers) as a fresh process and with
#      the TLS stack loaded before its clock starts (--warm, as the installer
#      loads it while its home page shows), aria2c -x5 -s5 -k1M and
#      single-stream curl;
#   2. the same unthrottled, plus one plain WinHTTP GET read in a loop
#      (winhttp_get.exe, same Wine) to show what the engine costs over the
#      platform's own stack;
#   3. a flaky server: the Python test server cuts every answer after 1 MiB;
#      a 16 MiB file fetched by the engine and by aria2c, with the body
#      bytes the server sent as a ratio to the file's size.
#   4. the field: the Python test server, every connection throttled to
#      1 MiB/s, a 24 MiB file, four faults of time: one connection at a
#      quarter of the others' speed (from 0.4 of the file on), an outage of
#      20 s halfway (every answer cut, connections refused), the same outage
#      as a server that accepts and drops connections and a gateway that
#      answers 502 (every other request each), one connection stalled (from
#      0.4 of the file on). The engine, aria2c -x5 -s5 -k1M
#      and curl (one stream, -C -) each with the engine's lowest-speed rule
#      (16 KiB in 30 s, as a rate: 546 B/s) and with retries (curl retries
#      every error: a cut answer is no "transient" error to it otherwise);
#      each run limited to FIELD_LIMIT_S (300 s). The engine runs twice: as
#      a fresh process, and with the TLS stack loaded before its clock starts
#      (--warm, as the installer runs it). Time to complete and the body
#      bytes the server sent, as ratios.
# Every round runs RUNS times. Each download is checked byte for byte.
#   bench/download.sh [SIZE_MIB=64] [RATE_MIB_PER_CONNECTION=4] [RUNS=2] [ROUNDS=all|classic|field]
# Needs the Windows tree built (pathwick-fetch, winhttp_get, pw_trust_ca);
# the test CA is trusted in build/win/wineprefix like in the tests.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
size_mib=${1:-64}
rate_mib=${2:-4}
runs=${3:-2}
rounds=${4:-all}
field_mib=24
field_rate=1048576
field_limit=${FIELD_LIMIT_S:-300}
flaky_mib=16
cut=1048576
rate=$((rate_mib * 1048576))
win="$root/build/win"
fetch="$win/tests/net/pathwick-fetch.exe"
plain_get="$win/bench/winhttp_get.exe"
work="$root/build/bench"
pki="$win/pki"
server="$root/tests/server"

for f in "$fetch" "$plain_get" "$win/tests/net/pw_trust_ca.exe"; do
  [ -f "$f" ] || { echo "missing $f: build the Windows tree first" >&2; exit 1; }
done
source "$root/scripts/env.sh"
pw_wine_up
mkdir -p "$work/root" "$work/out"
bash "$server/make_certs.sh" "$pki" >/dev/null
"$win/wine-run" "$win/tests/net/pw_trust_ca.exe" "Z:$pki/ca.pem" >/dev/null
make_file() { # MiB -> path
  local f="$work/root/bench-$1.bin"
  if [ ! -s "$f" ] || [ "$(stat -c %s "$f")" != $(($1 * 1048576)) ]; then
    head -c $(($1 * 1048576)) /dev/urandom >"$f"
  fi
  echo "$f"
}
big=$(make_file "$size_mib")
small=$(make_file "$flaky_mib")
field=$(make_file "$field_mib")
bash "$server/nginx.sh" start "$work" nginx --root "$work/root" --cert "$pki/server.pem" --key "$pki/server.key" >/dev/null
bash "$server/start.sh" "$work" flaky --root "$work/root" --cert "$pki/server.pem" --key "$pki/server.key" \
  --time-limit 1800 >/dev/null
bash "$server/start.sh" "$work" field --root "$work/root" --cert "$pki/server.pem" --key "$pki/server.key" \
  --rate "$field_rate" --time-limit 3600 >/dev/null
trap 'bash "$server/nginx.sh" stop "$work" nginx; bash "$server/stop.sh" "$work" flaky;
      bash "$server/stop.sh" "$work" field; pw_wine_down' EXIT
nport=$(cat "$work/nginx.port")
fport=$(cat "$work/flaky.port")
qport=$(cat "$work/field.port")

now_ms() { date +%s%3N; }
same() { # file, reference, label
  if ! cmp -s "$1" "$2"; then echo "  $3: WRONG CONTENT" >&2; exit 1; fi
}
# Each timer sets $ms (wall) and, for the Windows programs, $inner (the time
# the program measured itself, without Wine's start-up).
run_engine() { # url ref [--warm]
  local t0; rm -f "$work/out/engine.bin"; t0=$(now_ms)
  "$win/wine-run" "$fetch" "$1" "Z:$work/out/engine.bin" 5 ${3:-} >"$work/out/engine.log" 2>&1 </dev/null || true
  ms=$(( $(now_ms) - t0 )); inner=$(tr -d '\r' <"$work/out/engine.log" | sed -n 's/^elapsed_ms //p')
  size_ms=$(tr -d '\r' <"$work/out/engine.log" | sed -n 's/^size_ms //p')
  same "$work/out/engine.bin" "$2" engine
}
run_plain() { # url ref
  local t0; rm -f "$work/out/plain.bin"; t0=$(now_ms)
  "$win/wine-run" "$plain_get" "$1" "Z:$work/out/plain.bin" >"$work/out/plain.log" 2>&1 </dev/null || true
  ms=$(( $(now_ms) - t0 )); inner=$(tr -d '\r' <"$work/out/plain.log" | sed -n 's/^elapsed_ms //p')
  same "$work/out/plain.bin" "$2" "WinHTTP loop"
}
run_aria() { # url ref
  local t0; rm -f "$work/out/aria.bin"; t0=$(now_ms)
  aria2c -q -x5 -s5 -k1M --file-allocation=none --allow-overwrite=true --auto-file-renaming=false \
    --ca-certificate="$pki/ca.pem" -d "$work/out" -o aria.bin "$1" || true
  ms=$(( $(now_ms) - t0 ))
  same "$work/out/aria.bin" "$2" aria2c
}
run_curl() { # url ref
  local t0; rm -f "$work/out/curl.bin"; t0=$(now_ms)
  curl -s --cacert "$pki/ca.pem" -o "$work/out/curl.bin" "$1" || true
  ms=$(( $(now_ms) - t0 ))
  same "$work/out/curl.bin" "$2" curl
}
sent_bytes() { curl -s "https://localhost:$fport/stats" --cacert "$pki/ca.pem" | sed -n 's/.*"body_bytes": \([0-9]*\).*/\1/p'; }

classic_rounds() {
echo "engine: pathwick-fetch.exe, 5 workers, under Wine; aria2c -x5 -s5 -k1M; curl: one stream"
nurl="https://localhost:$nport/files/bench-$size_mib.bin"
for run in $(seq 1 "$runs"); do
  run_engine "$nurl?rate=$rate" "$big"; e=$ms; ei=$inner; es=$size_ms
  run_engine "$nurl?rate=$rate" "$big" --warm; w=$ms; wi=$inner; ws=$size_ms
  run_aria "$nurl?rate=$rate" "$big"; a=$ms
  run_curl "$nurl?rate=$rate" "$big"; c=$ms
  awk -v r="$run" -v s="$size_mib" -v m="$rate_mib" -v e="$e" -v ei="$ei" -v es="$es" -v w="$w" -v wi="$wi" \
      -v ws="$ws" -v a="$a" -v c="$c" 'BEGIN {
    printf "nginx, throttled to %d MiB/s per connection, %d MiB, run %d\n", m, s, r
    printf "  engine        %6.2f s inside the engine (%6.2f s wall; size known after %.2f s)  %6.1f MiB/s\n",
           ei/1000, e/1000, es/1000, s*1000/ei
    printf "  engine, warm  %6.2f s inside the engine (%6.2f s wall; size known after %.2f s)  %6.1f MiB/s\n",
           wi/1000, w/1000, ws/1000, s*1000/wi
    printf "  aria2c        %6.2f s  %6.1f MiB/s\n", a/1000, s*1000/a
    printf "  curl          %6.2f s  %6.1f MiB/s\n", c/1000, s*1000/c
    printf "  throughput, engine inside: %.3fx aria2c, %.2fx curl   (engine wall: %.3fx aria2c, %.2fx curl)\n",
           a/ei, c/ei, a/e, c/e
    printf "  throughput, engine inside, TLS stack loaded first: %.3fx aria2c, %.2fx curl\n", a/wi, c/wi
  }'
done
for run in $(seq 1 "$runs"); do
  run_engine "$nurl" "$big"; e=$ms; ei=$inner
  run_plain "$nurl" "$big"; p=$ms; pi=$inner
  run_aria "$nurl" "$big"; a=$ms
  run_curl "$nurl" "$big"; c=$ms
  awk -v r="$run" -v s="$size_mib" -v e="$e" -v ei="$ei" -v p="$p" -v pi="$pi" -v a="$a" -v c="$c" 'BEGIN {
    printf "nginx, unthrottled, %d MiB, run %d\n", s, r
    printf "  engine        %6.2f s inside (%6.2f s wall)  %6.1f MiB/s\n", ei/1000, e/1000, s*1000/ei
    printf "  WinHTTP loop  %6.2f s inside (%6.2f s wall)  %6.1f MiB/s\n", pi/1000, p/1000, s*1000/pi
    printf "  aria2c        %6.2f s  %6.1f MiB/s\n", a/1000, s*1000/a
    printf "  curl          %6.2f s  %6.1f MiB/s\n", c/1000, s*1000/c
    printf "  engine time / WinHTTP loop time: %.2f (inside), %.2f (wall)\n", ei/pi, e/p
  }'
done
# The first request of a Windows process over TLS pays for setting up the
# TLS stack under Wine; plain HTTP shows the request alone.
printf 'x' >"$work/root/one.bin"
for run in $(seq 1 "$runs"); do
  run_plain "https://localhost:$nport/files/one.bin" "$work/root/one.bin"; t=$inner
  run_plain "http://localhost:$fport/files/one.bin" "$work/root/one.bin"; p=$inner
  echo "first request of a process, 1 byte, WinHTTP loop: over TLS ${t} ms, plain HTTP ${p} ms (run $run)"
done
furl="https://localhost:$fport/files/bench-$flaky_mib.bin?cutafter=$cut"
for run in $(seq 1 "$runs"); do
  b0=$(sent_bytes); run_engine "$furl" "$small"; e=$ms; ei=$inner; b1=$(sent_bytes)
  run_aria "$furl" "$small"; a=$ms; b2=$(sent_bytes)
  awk -v r="$run" -v s="$flaky_mib" -v e="$e" -v ei="$ei" -v a="$a" -v es=$((b1 - b0)) -v as=$((b2 - b1)) 'BEGIN {
    n = s * 1048576
    printf "flaky server (every answer cut after 1 MiB), %d MiB, run %d\n", s, r
    printf "  engine  %6.2f s wall (%5.2f s inside)  server sent %.3fx the file\n", e/1000, ei/1000, es/n
    printf "  aria2c  %6.2f s wall                  server sent %.3fx the file\n", a/1000, as/n
  }'
done
}

# The field rounds. A run ends with the tool or after $field_limit s; it
# sets $ms (wall), $inner (the engine's own clock; wall for the others),
# $sent (body bytes the server sent meanwhile) and $verdict (ok, failed,
# wrong content, timed out).
field_stats() { # body bytes sent so far; waits while the port is down
  local n=""
  for _ in $(seq 1 60); do
    n=$(curl -s -m 5 --cacert "$pki/ca.pem" "https://localhost:$qport/stats" | sed -n 's/.*"body_bytes": \([0-9]*\).*/\1/p')
    [ -n "$n" ] && break
    sleep 1
  done
  echo "${n:-0}"
}
field_run() { # field_run engine|warm|aria2c|curl URL
  local out="$work/out/field-$1.bin" b0 t0 rc=0
  rm -f "$out" "$out.aria2"; b0=$(field_stats); t0=$(now_ms)
  case $1 in
    engine|warm)
      timeout "$field_limit" "$win/wine-run" "$fetch" "$2" "Z:$out" 5 $([ "$1" = warm ] && echo --warm) \
        >"$work/out/field-engine.log" 2>&1 </dev/null || rc=$? ;;
    aria2c)
      timeout "$field_limit" aria2c -q -x5 -s5 -k1M --lowest-speed-limit=546 --max-tries=0 --retry-wait=2 \
        --connect-timeout=15 --timeout=30 --file-allocation=none --allow-overwrite=true --auto-file-renaming=false \
        --ca-certificate="$pki/ca.pem" -d "$work/out" -o "field-aria2c.bin" "$2" >/dev/null 2>&1 || rc=$? ;;
    curl)
      timeout "$field_limit" curl -s -C - --speed-limit 546 --speed-time 30 --connect-timeout 15 --retry 100 \
        --retry-all-errors --retry-max-time 300 --cacert "$pki/ca.pem" -o "$out" "$2" 2>/dev/null || rc=$? ;;
  esac
  ms=$(( $(now_ms) - t0 )); inner=$ms
  if [ "$1" = engine ] || [ "$1" = warm ]; then
    inner=$(tr -d '\r' <"$work/out/field-engine.log" | sed -n 's/^elapsed_ms //p'); inner=${inner:-$ms}
  fi
  sent=$(( $(field_stats) - b0 ))
  if [ "$rc" = 124 ]; then verdict="timed out"
  elif [ "$rc" != 0 ]; then verdict="failed ($rc)"
  elif ! cmp -s "$out" "$field"; then verdict="wrong content"
  else verdict=ok; fi
}
field_rounds() {
  local n=$((field_mib * 1048576)) at
  at=$((n * 2 / 5 + 524288))
  echo "field: $field_mib MiB, every connection at $((field_rate / 1024)) KiB/s; engine: pathwick-fetch.exe, 5 workers;"
  echo "  aria2c -x5 -s5 -k1M --lowest-speed-limit=546 --max-tries=0 --retry-wait=2; curl -C - --speed-limit 546"
  echo "  --speed-time 30 --retry 100 --retry-all-errors --retry-max-time 300; each run at most $field_limit s"
  local round query label
  for run in $(seq 1 "$runs"); do
    for round in slow outage dropped stall; do
      case $round in
        slow) query="rate=$((field_rate / 4))&at=$at"; label="one connection of five at a quarter speed" ;;
        outage) query="down=20&downafter=$((n / 2))"; label="an outage of 20 s halfway" ;;
        dropped) query="down=20&downafter=$((n / 2))&downmode=mix"
                 label="20 s of dropped connections and 502s halfway" ;;
        stall) query="stall=1&at=$at"; label="one connection stalled" ;;
      esac
      local tool e ei es ev w wi ws wv a as av c cs cv
      for tool in engine warm aria2c curl; do
        field_run "$tool" "https://localhost:$qport/files/bench-$field_mib.bin?$query&tag=$round-$tool-$run-$$"
        case $tool in
          engine) e=$ms; ei=$inner; es=$sent; ev=$verdict ;;
          warm) w=$ms; wi=$inner; ws=$sent; wv=$verdict ;;
          aria2c) a=$ms; as=$sent; av=$verdict ;;
          curl) c=$ms; cs=$sent; cv=$verdict ;;
        esac
      done
      awk -v l="$label" -v r="$run" -v n="$n" -v e="$e" -v ei="$ei" -v es="$es" -v ev="$ev" -v w="$w" -v wi="$wi" \
          -v ws="$ws" -v wv="$wv" -v a="$a" -v as="$as" -v av="$av" -v c="$c" -v cs="$cs" -v cv="$cv" 'BEGIN {
        printf "field: %s, run %d\n", l, r
        printf "  engine  %7.2f s wall (%7.2f s inside)  server sent %.3fx the file  %s\n", e/1000, ei/1000, es/n, ev
        printf "  warm    %7.2f s wall (%7.2f s inside)  server sent %.3fx the file  %s\n", w/1000, wi/1000, ws/n, wv
        printf "  aria2c  %7.2f s wall                     server sent %.3fx the file  %s\n", a/1000, as/n, av
        printf "  curl    %7.2f s wall                     server sent %.3fx the file  %s\n", c/1000, cs/n, cv
        printf "  time, engine inside / aria2c %.2f, / curl %.2f (engine wall: %.2f, %.2f); bytes, engine / aria2c %.3f, / curl %.3f\n",
               ei/a, ei/c, e/a, e/c, es/as, es/cs
        printf "  time, engine warm inside / aria2c %.2f, / curl %.2f; bytes, engine warm / aria2c %.3f\n",
               wi/a, wi/c, ws/as
      }'
    done
  done
}

case $rounds in
  all) classic_rounds; field_rounds ;;
  classic) classic_rounds ;;
  field) field_rounds ;;
  *) echo "ROUNDS: all, classic or field" >&2; exit 2 ;;
esac
