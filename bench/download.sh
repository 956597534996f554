#!/usr/bin/env bash
# Download benchmark against the local test server: one file served over TLS,
# fetched side by side by the engine (pathwick-fetch.exe under Wine, 5
# workers), by aria2c with 5 connections and by single-stream curl; first
# with every connection throttled, then unthrottled. Prints wall times and
# the ratios engine/aria2c and engine/curl.
#   bench/download.sh [SIZE_MIB=64] [RATE_MIB_PER_CONNECTION=4]
# Needs the Windows tree built (pathwick-fetch, pw_trust_ca); the test CA is
# trusted in build/win/wineprefix like in the tests.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
size_mib=${1:-64}
rate_mib=${2:-4}
rate=$((rate_mib * 1048576))
win="$root/build/win"
fetch="$win/tests/net/pathwick-fetch.exe"
work="$root/build/bench"
pki="$win/pki"
server="$root/tests/server"

for f in "$fetch" "$win/tests/net/pw_trust_ca.exe"; do
  [ -f "$f" ] || { echo "missing $f: build the Windows tree first" >&2; exit 1; }
done
source "$root/scripts/env.sh"
pw_wine_up
mkdir -p "$work/root" "$work/out"
bash "$server/make_certs.sh" "$pki" >/dev/null
"$win/wine-run" "$win/tests/net/pw_trust_ca.exe" "Z:$pki/ca.pem" >/dev/null
file="$work/root/bench-$size_mib.bin"
if [ ! -s "$file" ] || [ "$(stat -c %s "$file")" != $((size_mib * 1048576)) ]; then
  head -c $((size_mib * 1048576)) /dev/urandom >"$file"
fi
want=$(sha256sum <"$file" | cut -d' ' -f1)
bash "$server/start.sh" "$work" bench --root "$work/root" --cert "$pki/server.pem" --key "$pki/server.key" \
  --time-limit 900 >/dev/null
trap 'bash "$server/stop.sh" "$work" bench; pw_wine_down' EXIT
port=$(cat "$work/bench.port")

now_ms() { date +%s%3N; }
verify() {
  if [ "$(sha256sum <"$1" | cut -d' ' -f1)" != "$want" ]; then echo "  $2: WRONG CONTENT" >&2; return 1; fi
}
run_round() { # label query
  local label=$1 query=$2 url="https://localhost:$port/files/bench-$size_mib.bin$2" t0 engine aria curl engine_inner
  rm -f "$work/out/"*
  t0=$(now_ms)
  "$win/wine-run" "$fetch" "$url" "Z:$work/out/engine.bin" 5 >"$work/out/engine.log" 2>&1 </dev/null
  engine=$(( $(now_ms) - t0 ))
  engine_inner=$(sed -n 's/^elapsed_ms //p' "$work/out/engine.log")
  verify "$work/out/engine.bin" engine
  t0=$(now_ms)
  aria2c -q -x5 -s5 -k1M --file-allocation=none --allow-overwrite=true --ca-certificate="$pki/ca.pem" \
    -d "$work/out" -o aria.bin "$url"
  aria=$(( $(now_ms) - t0 ))
  verify "$work/out/aria.bin" aria2c
  t0=$(now_ms)
  curl -s --cacert "$pki/ca.pem" -o "$work/out/curl.bin" "$url"
  curl=$(( $(now_ms) - t0 ))
  verify "$work/out/curl.bin" curl
  awk -v l="$label" -v s="$size_mib" -v e="$engine" -v ei="$engine_inner" -v a="$aria" -v c="$curl" 'BEGIN {
    printf "%s (%d MiB)\n", l, s
    printf "  engine  %7.2f s wall (%.2f s inside the engine)  %6.1f MiB/s\n", e/1000, ei/1000, s*1000/e
    printf "  aria2c  %7.2f s wall  %6.1f MiB/s\n", a/1000, s*1000/a
    printf "  curl    %7.2f s wall  %6.1f MiB/s\n", c/1000, s*1000/c
    printf "  throughput engine/aria2c %.2fx   engine/curl %.2fx   (wall time engine/curl %.2f)\n", a/e, c/e, e/c
    printf "  same, engine time without Wine start-up: engine/aria2c %.2fx   engine/curl %.2fx\n", a/ei, c/ei
  }'
}

echo "files over https://localhost:$port, 5 workers/connections"
run_round "throttled to $rate_mib MiB/s per connection" "?rate=$rate"
run_round "unthrottled" ""
