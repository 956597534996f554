# When TLS fails, the client id never goes out in plain text, while the download falls back to plain HTTP and passes its signature check.
#
# The server presents a "localhost" certificate under a CA that no prefix
# trusts, so every TLS handshake fails, as it would with the test CA taken
# out of the prefix (which would also refuse the stand-in's signature, made
# under that CA). /S installs: the download's plain attempt fetches the
# installer, the signature check accepts it, and the collector gets no hit:
# both events are dropped rather than sent in plain text.

start_server --cert "$build/pki/rogue-server.pem" --key "$build/pki/rogue-server.key"
rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
run_silent untrusted-tls 0
local requests hits
requests=$(curl -s "http://127.0.0.1:$port/requests" | grep '"path": "/files/brisklane-pathwick.exe"')
hits=$(curl -s "http://127.0.0.1:$port/hits")
check "the secure attempts failed" log_has "[CWinHttpRequest::SendRequest]call WinHttp"
check "the installer came over plain HTTP" grep -q '"scheme": "http", "method": "GET"' <<<"$requests"
check "the signature check accepted it" log_has "VerifyInstaller: accepted"
check "installed" test -f "$progfiles/Brisklane/Brisklane Pathwick/Pathwick.exe"
check "analytics were on" sh -c "! grep -aqF 'analytics are off' '$logfile'"
check "no hit reached the collector: nothing with a client id in plain text (${hits:-none})" [ -z "$hits" ]
