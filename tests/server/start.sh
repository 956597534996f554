#!/usr/bin/env bash
# Starts one test server in the background and waits until it listens.
#   start.sh STATE_DIR NAME [pwserver.py options...]
# Writes STATE_DIR/NAME.port, NAME.pid and NAME.log; the server stops by
# itself after its time limit (default here 1800 s), or through stop.sh.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
state=${1:?usage: start.sh STATE_DIR NAME [options]}
name=${2:?usage: start.sh STATE_DIR NAME [options]}
shift 2
mkdir -p "$state"
"$here/stop.sh" "$state" "$name" || true
rm -f "$state/$name.port"
setsid python3 "$here/pwserver.py" --port-file "$state/$name.port" --time-limit 1800 "$@" \
  </dev/null >"$state/$name.log" 2>&1 &
echo $! >"$state/$name.pid"
for _ in $(seq 1 100); do
  if [ -s "$state/$name.port" ]; then
    echo "server $name: port $(cat "$state/$name.port"), pid $(cat "$state/$name.pid")"
    exit 0
  fi
  if ! kill -0 "$(cat "$state/$name.pid")" 2>/dev/null; then break; fi
  sleep 0.1
done
echo "server $name did not start:" >&2
cat "$state/$name.log" >&2
exit 1
