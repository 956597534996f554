# The test servers: the local HTTPS/HTTP server with the stand-in installer
# and its bad copies, and what it recorded.

# The signed stand-in installer and its bad copies (tests/fixtures/payloads).
payloads="$build/tests/fixtures/payloads"

start_server() { # start_server [pwserver options...]
  cp "$build/tests/fixtures/standin_installer.exe" "$work/root/brisklane-pathwick.exe"
  cp "$payloads"/*.exe "$work/root/"
  setsid python3 "$here/e2e_server.py" --port "$port" --root "$work/root" \
    --cert "$build/pki/server.pem" --key "$build/pki/server.key" \
    --port-file "$work/e2e.port" --time-limit 300 "$@" </dev/null >"$work/server.log" 2>&1 &
  echo $! >"$work/e2e.pid"
  for _ in $(seq 1 100); do
    [ -s "$work/e2e.port" ] && return 0
    sleep 0.1
  done
  echo "server did not start"; cat "$work/server.log"; exit 1
}

# A host that takes every connection and never sends a byte (a stalled
# script server): its port in silent_host_port; the cleanup ends it.
start_silent_host() {
  setsid python3 -c '
import socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(16)
print(s.getsockname()[1], flush=True)
held = []
s.settimeout(1)
end = time.time() + 300
while time.time() < end:
    try:
        held.append(s.accept()[0])
    except socket.timeout:
        pass
' </dev/null >"$work/silent_host.port" 2>&1 &
  silent_host_pid=$!
  wait_for 10 test -s "$work/silent_host.port"
  silent_host_port=$(head -1 "$work/silent_host.port")
}

# Serves the copy NAME (good, flipped, unsigned, untrusted, other-publisher)
# as the installer from the next request on.
serve() { cp "$work/root/$1.exe" "$work/root/brisklane-pathwick.exe"; }

# The file body bytes the server has sent so far.
body_bytes() { curl -s "http://127.0.0.1:$port/stats" | sed -n 's/.*"body_bytes": \([0-9]*\).*/\1/p'; }

no_hits() { [ -z "$(curl -s "http://127.0.0.1:$port/hits")" ]; }
