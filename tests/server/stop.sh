#!/usr/bin/env bash
# Stops a server started by start.sh (by its recorded process id only).
#   stop.sh STATE_DIR NAME
state=${1:?usage: stop.sh STATE_DIR NAME}
name=${2:?usage: stop.sh STATE_DIR NAME}
pidfile="$state/$name.pid"
[ -f "$pidfile" ] || exit 0
pid=$(cat "$pidfile")
if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && grep -q pwserver.py "/proc/$pid/cmdline" 2>/dev/null; then
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
fi
rm -f "$pidfile" "$state/$name.port"
exit 0
