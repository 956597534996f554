# Windows and keys: finding the main window, clicks, key presses that Wine
# under a bare X server receives, and a watch on every window mapped.

# The main window: the visible window with the setup title that is
# main_width pixels wide (650 at 96 DPI; within a pixel at other scales).
main_width=650
main_sized() { # main_sized WINDOW
  local width
  width=$(xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
  [ -n "$width" ] && [ $((width - main_width)) -ge -1 ] && [ $((width - main_width)) -le 1 ]
}
find_main_window() { # find_main_window TIMEOUT_S [POLL_S] -> prints the id
  local deadline=$((SECONDS + $1)) w
  while :; do
    for w in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
      if main_sized "$w"; then
        echo "$w"; return 0
      fi
    done
    [ $SECONDS -lt $deadline ] || return 1
    sleep "${2:-0.3}"
  done
}

click() { # click WINDOW X Y (client coordinates)
  xdotool mousemove --window "$1" "$2" "$3" sleep 0.2 click 1
}

# Wine under a bare X server handles a synthetic key only once further input
# arrives; a few pointer moves over the window deliver it.
nudge() { # nudge WINDOW
  local i
  for i in 1 2 3 4 5; do
    xdotool mousemove --window "$1" $((300 + i * 10)) 100
    sleep 0.2
  done
}

# A key for a message box, pressed again (up to three times) while the box
# stays open; for the main window just once.
key_to() { # key_to WINDOW NUDGE_WINDOW KEY
  local attempt
  for attempt in 1 2 3; do
    xdotool key --window "$1" "$3" 2>/dev/null
    sleep 0.3
    nudge "$2"
    [ "$1" = "$2" ] && return 0
    wait_for 2 sh -c "! xdotool search --onlyvisible --name '^$title\$' 2>/dev/null | grep -qx '$1'" && return 0
  done
  return 1
}

# Every top-level window mapped on the display while a run goes on: the X
# server's map events on the root window (xev), and the visible windows that
# xdotool finds, polled every 0.2 s, other than those mapped before.
watch_windows() { # watch_windows NAME
  watch="$work/watch-$1"
  xdotool search --onlyvisible --name '' 2>/dev/null | sort -u >"$watch.before"
  xev -root -event substructure >"$watch.xev" 2>&1 &
  xev_pid=$!
  (while :; do xdotool search --onlyvisible --name '' 2>/dev/null; sleep 0.2; done) >"$watch.poll" &
  poll_pid=$!
  sleep 0.5
}
stop_watch() {
  sleep 0.5
  kill "$xev_pid" "$poll_pid" 2>/dev/null
  wait "$xev_pid" "$poll_pid" 2>/dev/null
}
mapped_count() { grep -c '^MapNotify' "$watch.xev"; }
new_windows() { sort -u "$watch.poll" | comm -23 - "$watch.before"; }
nothing_mapped() { [ "$(mapped_count)" = 0 ] && [ -z "$(new_windows)" ]; }
