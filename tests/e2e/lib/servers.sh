# The test servers: the local HTTPS/HTTP server with the stand-in installer
# and its bad copies, and what it recorded.

# The signed stand-in installer and its bad copies (tests/fixtures/payloads).
payloads="$build/tests/fixtures/payloads"

start_server() { # start_server [pwserver options...]
  cp "$build/tests/fixtures/standin_installer.exe" "$work/root/brisklane-pathwick.exe"
  cp "$payloads"/*.exe "$work/root/"
  setsid python3 "$here/e2e_server.py" --port "$port" --root "$work/root" \
    --cert "$build/pki/server.pem" --key "$build/pki/server.key" \
    --port-file "$work/e2e.port" --stats-file "$work/e2e.stats" --time-limit 300 "$@" </dev/null \
    >"$work/server.log" 2>&1 &
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

# The file body bytes the server (on PORT) has sent so far; and, for a
# server whose port down= closed, as its stats file said at most 0.2 s ago.
body_bytes() { body_bytes_at "$port"; }
body_bytes_down() { sed -n 's/.*"body_bytes": \([0-9]*\).*/\1/p' "$work/e2e.stats" 2>/dev/null; }
body_bytes_at() { curl -s "http://127.0.0.1:$1/stats" | sed -n 's/.*"body_bytes": \([0-9]*\).*/\1/p'; }

# The mirrors the test package names after the download host: the same
# server on port + 100 (N = 2) and port + 200 (N = 3), each with its own
# root ($work/rootN, the installer copied from $work/root with its time, so
# that its ETag is the download host's) and log ($work/serverN.log).
mirror_port() { echo $((port + 100 * ($1 - 1))); }
start_mirror() { # start_mirror N [pwserver options...]
  local n=$1; shift
  mkdir -p "$work/root$n"
  cp -p "$work/root/brisklane-pathwick.exe" "$work/root$n/"
  setsid python3 "$here/e2e_server.py" --port "$(mirror_port "$n")" --root "$work/root$n" \
    --cert "$build/pki/server.pem" --key "$build/pki/server.key" \
    --port-file "$work/e2e$n.port" --time-limit 300 "$@" </dev/null >"$work/server$n.log" 2>&1 &
  echo $! >"$work/e2e$n.pid"
  wait_for 10 test -s "$work/e2e$n.port" || { echo "mirror $n did not start"; cat "$work/server$n.log"; exit 1; }
}

# Ends the server and its mirrors; start_server and start_mirror start anew.
stop_servers() {
  local f pid
  for f in "$work"/e2e.pid "$work"/e2e[23].pid; do
    pid=$(cat "$f" 2>/dev/null)
    if [ -n "$pid" ] && grep -q e2e_server.py "/proc/$pid/cmdline" 2>/dev/null; then
      kill "$pid" 2>/dev/null
      wait_for 10 sh -c "! kill -0 $pid 2>/dev/null"
    fi
    rm -f "$f" "${f%.pid}.port"
  done
}

no_hits() { [ -z "$(curl -s "http://127.0.0.1:$port/hits")" ]; }
