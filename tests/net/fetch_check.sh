#!/usr/bin/env bash
# Runs the command-line harness against the local server and checks what it
# prints, its exit code and the file it wrote.
#   fetch_check.sh WINE_RUN FETCH_EXE STATE_DIR
set -uo pipefail
wine_run=${1:?}; fetch=${2:?}; state=${3:?}
port=$(cat "$state/main.port")
mkdir -p "$state/root" "$state/fetch"
head -c 1234567 /dev/urandom >"$state/root/fetch.bin"
rm -f "$state/fetch/out.bin"
"$wine_run" "$fetch" "https://localhost:$port/files/fetch.bin" "Z:$state/fetch/out.bin" 3 >"$state/fetch/out.txt" 2>&1 </dev/null
rc=$?
fails=0
check() { if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; fails=$((fails + 1)); fi; }
check "exit code 0" test "$rc" = 0
check "file byte-identical" cmp "$state/fetch/out.bin" "$state/root/fetch.bin"
# The harness writes Windows line ends.
events=$(tr -d '\r' <"$state/fetch/out.txt" | grep '^event')
check "first line: start" test "$(echo "$events" | head -1)" = "event 0 start"
check "second line: size" test "$(echo "$events" | sed -n 2p)" = "event 1 size 1234567"
check "last progress is the total" test "$(echo "$events" | grep '^event 2' | tail -1)" = "event 2 progress 1234567 1234567"
check "end with result 0" bash -c "echo '$(echo "$events" | tail -1)' | grep -q '^event 3 end 0 '"
check "elapsed printed" grep -q '^elapsed_ms [0-9]' "$state/fetch/out.txt"
"$wine_run" "$fetch" "https://localhost:$port/files/fetch.bin?nolength=1&rangestatus=403" "Z:$state/fetch/none.bin" >"$state/fetch/fail.txt" 2>&1 </dev/null
rc=$?
check "failed download exits 1" test "$rc" = 1
check "failed download ends with -3" bash -c "tr -d '\\r' <'$state/fetch/fail.txt' | grep -q '^event 3 end -3 '"
# Answers that can never give the file end the download quickly: the status,
# the Content-Range and the size are read before any body is written.
: >"$state/root/empty.bin"
head -c 100000 /dev/urandom >"$state/root/status.bin"
run_tag=$$-$(date +%s%N)
fail_case() { # name, url, workers, expected end code, max ms, extra options...
  local name=$1 url=$2 workers=$3 want=$4 max_ms=$5 out ms
  shift 5
  out="$state/fetch/case.txt"
  rm -f "$state/fetch/case.bin"
  "$wine_run" "$fetch" "$url" "Z:$state/fetch/case.bin" "$workers" "$@" >"$out" 2>&1 </dev/null
  check "$name: exits 1" test "$?" = 1
  check "$name: ends with $want" bash -c "tr -d '\r' <'$out' | grep -q '^event 3 end $want '"
  ms=$(tr -d '\r' <"$out" | sed -n 's/^elapsed_ms //p')
  check "$name: within $max_ms ms ($ms ms)" test "${ms:-999999}" -le "$max_ms"
  check "$name: no progress reported" bash -c "! grep -q '^event 2' '$out'"
}
range_requests() { # tag -> number of range requests the server saw
  curl -s "http://localhost:$port/requests?tag=$1" | grep -c '"range": "bytes='
}
base="https://localhost:$port/files"
fail_case "404" "$base/absent.bin" 5 -3 5000
fail_case "403 on ranges" "$base/status.bin?rangestatus=403&tag=f403-$run_tag" 5 -4 5000
check "403 on ranges: at most one request per range" test "$(range_requests "f403-$run_tag")" -le 5
fail_case "500 on ranges" "$base/status.bin?rangestatus=500&tag=f500-$run_tag" 5 -4 20000 --pause=100
check "500 on ranges: eleven attempts per range" test "$(range_requests "f500-$run_tag")" = 55
fail_case "206 with a wrong Content-Range" "$base/status.bin?badrange=1&tag=fbr-$run_tag" 5 -4 5000
fail_case "size 0" "$base/empty.bin" 5 -3 5000
# A server that ignores Range: the first answer is the whole file, read as
# one stream; the other workers stop.
ok_case() { # name, url, reference file
  rm -f "$state/fetch/case.bin"
  "$wine_run" "$fetch" "$2" "Z:$state/fetch/case.bin" 5 >"$state/fetch/case.txt" 2>&1 </dev/null
  check "$1: exits 0" test "$?" = 0
  check "$1: file byte-identical" cmp -s "$state/fetch/case.bin" "$3"
}
ok_case "200 ignoring Range, 5 workers" "$base/status.bin?norange=1&tag=fnr-$run_tag" "$state/root/status.bin"
check "200 ignoring Range: at most one request per worker" test "$(range_requests "fnr-$run_tag")" -le 5
# A farm member that answers with another ETag and ignores If-Range: its 206
# is another version, so the download starts over (the size query now gets
# that version) and never mixes the two.
head -c 300000 /dev/urandom >"$state/root/version2.bin"
ok_case "206 with another ETag" "$base/status.bin?swapto=version2.bin&noifrange=1&tag=fv2-$run_tag" \
  "$state/root/version2.bin"
check "206 with another ETag: the download started over with the other size" \
  test "$(tr -d '\r' <"$state/fetch/case.txt" | grep '^event 1 ' | tr '\n' ' ')" = "event 1 size 100000 event 1 size 300000 "
# A signed URL's token is never logged.
log="$(dirname "$fetch")/Log/pathwick-fetch.log"
secret="SECRET-$run_tag"
ok_case "a signed URL" "$base/status.bin?token=$secret&tag=fsig-$run_tag" "$state/root/status.bin"
check "a signed URL: its query is in no log line" bash -c "! grep -aq '$secret' '$log'"
"$wine_run" "$fetch" >/dev/null 2>&1 </dev/null
check "usage error exits 2" test "$?" = 2
[ "$fails" = 0 ] || { cat "$state/fetch/out.txt" | grep -v progress; exit 1; }
