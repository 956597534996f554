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
  # Gone, or a zombie waiting for its reaper: either way it serves no more.
  for _ in $(seq 1 50); do
    pstate=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null || true)
    if [ -z "$pstate" ] || [ "$pstate" = Z ]; then break; fi
    sleep 0.1
  done
fi
rm -f "$pidfile" "$state/$name.port"
exit 0
