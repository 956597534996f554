#!/usr/bin/env bash
# The command-line harness through squid's signing-in port, set as a fixed
# proxy in the prefix's Internet Settings: a wrong password asks again, the
# right one lets the download through byte-exact, and once the process has
# ended (WinINet's tunnels close with it) squid's log shows every request or
# tunnel of the download with the user name. The settings are removed after.
#   fetch_proxy_check.sh WINE_RUN FETCH_EXE STATE_DIR
set -uo pipefail
wine_run=${1:?}; fetch=${2:?}; state=${3:?}
port=$(cat "$state/main.port")
proxy="127.0.0.1:$(cat "$state/squid.port")"   # by address: Wine's WinHTTP takes "localhost" for the server itself
log="$state/squid.d/access.log"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
mkdir -p "$state/root" "$state/fetch"
head -c 700000 /dev/urandom >"$state/root/proxied.bin"
"$wine_run" reg add "$key" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null
"$wine_run" reg add "$key" /v ProxyServer /d "$proxy" /f >/dev/null
clear_proxy() {
  "$wine_run" reg add "$key" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null
  "$wine_run" reg delete "$key" /v ProxyServer /f >/dev/null
}
trap clear_proxy EXIT
fails=0
check() { if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; fails=$((fails + 1)); fi; }
# Lines of the download: for the server's port, past the 407s.
signed_in() { # MARK -> "<all> <with the user>"
  tail -n +$(($1 + 1)) "$log" | grep -F "localhost:$port" | grep -v "status=407" |
    awk '{ n++; if ($0 ~ / user=pathwick$/) u++ } END { print n + 0, u + 0 }'
}
for stack in winhttp internet; do
  mark=$(wc -l <"$log")
  out="$state/fetch/proxy-$stack.txt"
  rm -f "$state/fetch/proxied.bin"
  "$wine_run" "$fetch" "https://localhost:$port/files/proxied.bin" "Z:$state/fetch/proxied.bin" 5 --stack=$stack \
    --sign-in=pathwick:wrong:Proxy-Pass-7 >"$out" 2>&1 </dev/null
  check "$stack: exit code 0" test "$?" = 0
  check "$stack: file byte-identical" cmp "$state/fetch/proxied.bin" "$state/root/proxied.bin"
  asked=$(tr -d '\r' <"$out" | grep '^sign-in' | tr '\n' '|')
  check "$stack: asked twice with the proxy and realm ($asked)" \
    test "$asked" = "sign-in 1 $proxy Pathwick test proxy|sign-in 2 $proxy Pathwick test proxy|"
  sleep 1   # squid writes a tunnel's line when it closes
  read -r all users <<<"$(signed_in "$mark")"
  # WinHTTP: the size query and five ranges over plain HTTP; WinINet: one
  # tunnel per connection, which its pool reuses between requests.
  least=1; [ "$stack" = winhttp ] && least=6
  check "$stack: every request through squid signed in ($users of $all)" test "$all" -ge "$least" -a "$users" = "$all"
done
[ "$fails" = 0 ] || { tail -40 "$log"; exit 1; }
