# /S through a proxy named by a configuration script: completes through an open proxy, exits 5 when it needs a sign-in.
#
# The prefix has no fixed proxy, only AutoConfigURL pointing at a script the
# test server serves. Through squid's open port the installation completes
# and squid carried the size query and the ranges; through its signing-in
# port nothing can be asked in /S: exit code 5 and the log says why.

start_server
rm -f "$logfile"
serve_proxy_script "PROXY $(squid_at "$(squid_open_port)")"
local mark; mark=$(squid_mark)
run_silent open 0
check "the proxy chosen is logged" log_has "proxy for https://localhost:$port: $(squid_at "$(squid_open_port)")"
local through; through=$(squid_since "$mark" | grep -c "localhost:$port")
check "squid carried the download ($through requests)" [ "$through" -ge 6 ]

rm -f "$logfile"
serve_proxy_script "PROXY $(squid_at "$(squid_port)")"
mark=$(squid_mark)
run_silent signin 5
check "the log says the proxy needs a sign-in" log_has "silent: the proxy needs a sign-in"
check "squid asked for it" grep -q "status=407" <(squid_since "$mark")
check "nothing downloaded" test ! -e "$datadir/corvane-download.exe"
