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
"$wine_run" "$fetch" "https://localhost:$port/files/fetch.bin?nolength=1" "Z:$state/fetch/none.bin" >"$state/fetch/fail.txt" 2>&1 </dev/null
rc=$?
check "failed download exits 1" test "$rc" = 1
check "failed download ends with -3" bash -c "tr -d '\\r' <'$state/fetch/fail.txt' | grep -q '^event 3 end -3 '"
"$wine_run" "$fetch" >/dev/null 2>&1 </dev/null
check "usage error exits 2" test "$?" = 2
[ "$fails" = 0 ] || { cat "$state/fetch/out.txt" | grep -v progress; exit 1; }
