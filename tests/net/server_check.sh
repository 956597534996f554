#!/usr/bin/env bash
# Checks the local test server with curl: both schemes on one port, byte
# ranges, the fault switches and the analytics log.
#   server_check.sh SERVER_SOURCE_DIR WORK_DIR
set -uo pipefail
src=${1:?}; work=${2:?}
rm -rf "$work"; mkdir -p "$work/root"
bash "$src/make_certs.sh" "$work/pki" >/dev/null || exit 1
head -c 300000 /dev/urandom >"$work/root/data.bin"
bash "$src/start.sh" "$work" main --root "$work/root" --cert "$work/pki/server.pem" --key "$work/pki/server.key" >/dev/null || exit 1
bash "$src/start.sh" "$work" plain --root "$work/root" --no-tls >/dev/null || exit 1
trap 'bash "$src/stop.sh" "$work" main; bash "$src/stop.sh" "$work" plain' EXIT
p=$(cat "$work/main.port"); q=$(cat "$work/plain.port")
fails=0
check() { # name, then a command that must succeed
  local name=$1; shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; fails=$((fails + 1)); fi
}
c() { curl -s --max-time 20 --cacert "$work/pki/ca.pem" "$@"; }
slice() { dd if="$work/root/data.bin" bs=1 skip="$1" count="$2" 2>/dev/null; }

check "https whole file" cmp <(c "https://localhost:$p/files/data.bin") "$work/root/data.bin"
check "plain whole file on the same port" cmp <(c "http://localhost:$p/files/data.bin") "$work/root/data.bin"
check "range 1000-1999" cmp <(c -H "Range: bytes=1000-1999" "https://localhost:$p/files/data.bin") <(slice 1000 1000)
check "range status 206" test "$(c -o /dev/null -w '%{http_code}' -H 'Range: bytes=0-9' "http://localhost:$p/files/data.bin")" = 206
check "invalid range ignored" test "$(c -H 'Range: bytes=0--1' "http://localhost:$p/files/data.bin" | wc -c)" = 300000
check "norange ignores Range" test "$(c -H 'Range: bytes=0-9' "http://localhost:$p/files/data.bin?norange=1" | wc -c)" = 300000
check "HEAD gives the length" bash -c "curl -sI 'http://localhost:$p/files/data.bin' | grep -qi '^Content-Length: 300000'"
check "nolength has no Content-Length" bash -c "! curl -sI 'http://localhost:$p/files/data.bin?nolength=1' | grep -qi '^Content-Length'"
check "nolength body ends with the connection" test "$(c "http://localhost:$p/files/data.bin?nolength=1" | wc -c)" = 300000
check "cut stops halfway" test "$(c "http://localhost:$p/files/data.bin?cut=1" | wc -c)" = 150000
check "short sends half with a matching length" test "$(c "http://localhost:$p/files/data.bin?short=1" | wc -c)" = 150000
check "failfirst=2: first answer cut" test "$(c -H 'Range: bytes=0-999' "http://localhost:$p/files/data.bin?failfirst=2&tag=f" | wc -c)" = 500
check "failfirst=2: second answer cut" test "$(c -H 'Range: bytes=0-999' "http://localhost:$p/files/data.bin?failfirst=2&tag=f" | wc -c)" = 500
check "failfirst=2: third answer whole" test "$(c -H 'Range: bytes=0-999' "http://localhost:$p/files/data.bin?failfirst=2&tag=f" | wc -c)" = 1000
check "failagent drops a request without User-Agent" test "$(c -A '' "http://localhost:$p/files/data.bin?failagent=-" | wc -c)" = 0
check "failagent lets others through" test "$(c "http://localhost:$p/files/data.bin?failagent=-" | wc -c)" = 300000
code() { c -o /dev/null -w '%{http_code}' "$@"; }
etag=$(curl -sI "http://localhost:$p/files/data.bin" | tr -d '\r' | sed -n 's/^ETag: //Ip')
check "ETag given" test -n "$etag"
check "If-Range with the ETag keeps the range" test "$(code -H 'Range: bytes=0-9' -H "If-Range: $etag" "http://localhost:$p/files/data.bin")" = 206
check "If-Range with another ETag sends the whole file" test "$(c -H 'Range: bytes=0-9' -H 'If-Range: "other"' "http://localhost:$p/files/data.bin" | wc -c)" = 300000
check "status=403" test "$(code "http://localhost:$p/files/data.bin?status=403")" = 403
check "rangestatus=500 spares requests without Range" test "$(code "http://localhost:$p/files/data.bin?rangestatus=500")" = 200
check "rangestatus=500" test "$(code -H 'Range: bytes=0-9' "http://localhost:$p/files/data.bin?rangestatus=500")" = 500
check "badrange shifts the Content-Range" bash -c "curl -s -D - -o /dev/null -H 'Range: bytes=0-9' 'http://localhost:$p/files/data.bin?badrange=1' | grep -qi '^Content-Range: bytes 1-10/300000'"
check "failstatus with Retry-After" bash -c "curl -s -D - -o /dev/null 'http://localhost:$p/files/data.bin?failfirst=1&failstatus=503&retryafter=2&tag=r' | grep -qi '^Retry-After: 2'"
check "failstatus only for the first N" test "$(code "http://localhost:$p/files/data.bin?failfirst=1&failstatus=503&retryafter=2&tag=r")" = 200
sent() { curl -s "http://localhost:$p/stats" | sed -n 's/.*"body_bytes": \([0-9]*\).*/\1/p'; }
before=$(sent)
check "cutafter cuts every body" test "$(c -H 'Range: bytes=1000-200999' "http://localhost:$p/files/data.bin?cutafter=65536" | wc -c)" = 65536
after=$(sent)
check "stats count the body bytes sent ($before -> $after)" test "$((after - before))" = 65536
check "404 with a body" test "$(c -o "$work/404.html" -w '%{http_code}' "http://localhost:$p/files/none.bin")" = 404
check "404 body not empty" test -s "$work/404.html"
check "no escape from the root" test "$(c -o /dev/null -w '%{http_code}' --path-as-is "http://localhost:$p/files/../main.port")" = 404
check "product page" bash -c "curl -s 'http://localhost:$p/producturl/licence' | grep -q Pathwick"
t0=$(date +%s%N)
c "http://localhost:$p/files/data.bin?rate=200000" >/dev/null
ms=$(( ($(date +%s%N) - t0) / 1000000 ))
check "throttle: 300000 bytes at 200000 B/s take over 1.2 s ($ms ms)" test "$ms" -ge 1200
c -I "https://localhost:$p/collect?v=1&tag=hit1" >/dev/null
c -I "http://localhost:$q/collect?v=1&tag=hit2" >/dev/null
check "collector recorded the https hit" bash -c "curl -s 'http://localhost:$p/hits' | grep -q '\"scheme\": \"https\", \"method\": \"HEAD\", \"path\": \"/collect?v=1&tag=hit1\"'"
check "plain-only server refuses TLS" bash -c "! curl -s --max-time 10 --cacert '$work/pki/ca.pem' 'https://localhost:$q/files/data.bin' >/dev/null"
check "plain-only server serves plain" cmp <(c "http://localhost:$q/files/data.bin") "$work/root/data.bin"
# Faults of time.
bytes() { c "$@" | wc -c; }
within() { [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }
check "stall: the headers, then nothing" \
  test "$(c -m 2 -o /dev/null -w '%{http_code} %{size_download}' "http://localhost:$p/files/data.bin?stall=1")" = "200 0"
n=$(bytes -m 2 "http://localhost:$p/files/data.bin?trickle=0.5")
check "trickle=0.5: a byte every half second ($n bytes in 2 s)" within "$n" 3 5
u="http://localhost:$p/files/data.bin?stall=1&at=200000&tag=at"
check "at=: the answer that reaches the byte stalls there" test "$(bytes -m 2 -H 'Range: bytes=100000-' "$u")" = 100000
check "at=: only that one" test "$(bytes -H 'Range: bytes=100000-' "$u")" = 200000
check "at=: /requests marks it and counts its bytes" \
  bash -c "curl -s 'http://localhost:$p/requests?tag=at' | grep -q '\"sent\": 100000, \"fault\": \"stall\"'"
u="http://localhost:$p/files/data.bin?fail_after=100000&tag=fa"
check "fail_after=100000 cuts there" test "$(bytes "$u")" = 100000
check "fail_after: 503 while the flag file exists" test "$(code "$u")" = 503
rm -f "$work/root/fail_after.flag"
check "fail_after: served again once it is gone" test "$(bytes "$u")" = 300000
check "down=2 after 100000 bytes cuts there" test "$(bytes "http://localhost:$q/files/data.bin?down=2&downafter=100000&tag=dn")" = 100000
check "down: the port refuses connections" test "$(code "http://localhost:$q/files/data.bin")" = 000
sleep 2.5
check "down: served again after 2 s" cmp <(c "http://localhost:$q/files/data.bin") "$work/root/data.bin"
check "downmode=mix after 100000 bytes cuts there" \
  test "$(bytes "http://localhost:$q/files/data.bin?down=2&downmode=mix&downafter=100000&tag=mx")" = 100000
m="$(code "http://localhost:$q/files/data.bin") $(code "http://localhost:$q/files/data.bin")"
check "downmode=mix: the port stays open, one request dropped, one answered 502 ($m)" \
  bash -c "[ '$m' = '000 502' ] || [ '$m' = '502 000' ]"
sleep 2.5
check "downmode=mix: served again after 2 s" cmp <(c "http://localhost:$q/files/data.bin") "$work/root/data.bin"
touch "$work/root/failrange.flag"
u="http://localhost:$p/files/data.bin?failrange=1500&failstatus=500"
check "failrange: the range holding the byte fails" test "$(code -H 'Range: bytes=1000-1999' "$u")" = 500
check "failrange: other ranges are served" test "$(code -H 'Range: bytes=2000-2999' "$u")" = 206
rm -f "$work/root/failrange.flag"
check "failrange: served once the flag is gone" test "$(code -H 'Range: bytes=1000-1999' "$u")" = 206
check "noifrange: a 206 whatever If-Range says" \
  test "$(code -H 'Range: bytes=0-9' -H 'If-Range: "other"' "http://localhost:$p/files/data.bin?noifrange=1")" = 206
check "binds loopback only" bash -c "ss -ltn 2>/dev/null | grep -q '127.0.0.1:$p ' || ! command -v ss >/dev/null"
echo "$fails failed"
[ "$fails" = 0 ]
