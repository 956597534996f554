#!/usr/bin/env bash
# Start-up benchmark: time from process start to the first painted frame of
# the installer (PathwickSetup.exe), side by side with a minimal Win32 window
# (bench_window.exe, bench/MinimalWindow.cpp) under the same Wine, prefix,
# wineserver and virtual display. The two programs alternate, RUNS times each
# after one unmeasured warm-up run each; prints every run, the medians and
# the ratio installer/minimal.
#   bench/startup.sh [RUNS=7]
# Needs the Windows tree built (PathwickSetup, bench_window).
#
# The installer timed is the file that ships: the built PathwickSetup.exe
# without its debug sections (stripped into the work folder; Wine reads the
# build's 11 MiB of debug information into memory at every start, which no
# shipped file carries). PW_BENCH_SETUP_EXE names another file to time, for
# example a release build's.
#
# First painted frame: the clock starts just before the Wine launcher is
# started. The script then polls the display: as soon as a visible 650x360
# window with the program's title is mapped, it grabs that screen area and
# counts its distinct colours. A mapped but not yet painted Wine window shows
# one flat colour (or the display's two-colour background pattern); the first
# frame of either program has many more (text, panel, skin images). The first
# grab with more than PAINT_MIN_COLOURS colours stops the clock. One poll
# (search + grab) takes some tens of milliseconds, which bounds the
# resolution; it is the same for both programs.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
runs=${1:-7}
win="$root/build/win"
built_exe="$win/src/app/PathwickSetup.exe"
minimal_exe="$win/bench/bench_window.exe"
work="$root/build/bench/startup"
paint_min_colours=${PAINT_MIN_COLOURS:-4}
timeout_s=60

for f in "$built_exe" "$minimal_exe"; do
  [ -f "$f" ] || { echo "missing $f: build the Windows tree first" >&2; exit 1; }
done
mkdir -p "$work"
setup_exe=${PW_BENCH_SETUP_EXE:-}
if [ -z "$setup_exe" ]; then
  setup_exe="$work/PathwickSetup.exe"
  i686-w64-mingw32-strip -o "$setup_exe" "$built_exe"
fi
echo "installer timed: $setup_exe ($(stat -c %s "$setup_exe") bytes)"
# shellcheck source=/dev/null
source "$root/scripts/env.sh"
pw_wine_up

now_ms() { date +%s%3N; }

launcher_pid=""
# Ends the program whose window has TITLE: its X client process (the window's
# pid) and the launcher started here, then waits until the window is gone.
stop_program() { # stop_program TITLE EXE_NAME
  local w pid
  for w in $(xdotool search --name "^$1\$" 2>/dev/null); do
    pid=$(xdotool getwindowpid "$w" 2>/dev/null) || continue
    if [ -n "$pid" ] && grep -aq "$2" "/proc/$pid/cmdline" 2>/dev/null; then
      kill -KILL "$pid" 2>/dev/null || true
    fi
  done
  if [ -n "$launcher_pid" ]; then
    kill -KILL "$launcher_pid" 2>/dev/null || true
    wait "$launcher_pid" 2>/dev/null || true
  fi
  launcher_pid=""
  local i
  for i in $(seq 1 100); do
    [ -z "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  echo "window '$1' did not go away" >&2
  return 1
}

# Prints the number of distinct colours in the screen area of window W, or
# nothing when the window is not (yet) a visible 650x360 window.
window_colours() { # window_colours W
  local geo WIDTH HEIGHT
  geo=$(xdotool getwindowgeometry --shell "$1" 2>/dev/null) || return 0
  eval "$geo"
  [ "$WIDTH" = 650 ] && [ "$HEIGHT" = 360 ] || return 0
  # The window's own contents: its reported position may still be the one it
  # was created at while it is being moved into place.
  import -window "$1" "$work/grab.png" 2>/dev/null || return 0
  identify -format %k "$work/grab.png" 2>/dev/null
}

# Starts EXE and prints the milliseconds until its first painted frame.
time_first_frame() { # time_first_frame TITLE EXE_NAME EXE
  local title=$1 t0 w colours deadline polls=0
  t0=$(now_ms)
  "$root/build/win/wine-run" "$3" >/dev/null 2>&1 </dev/null &
  launcher_pid=$!
  deadline=$((SECONDS + timeout_s))
  while [ $SECONDS -lt $deadline ]; do
    polls=$((polls + 1))
    for w in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
      colours=$(window_colours "$w")
      [ -z "${PW_BENCH_TRACE:-}" ] || echo "$2 +$(( $(now_ms) - t0 )) ms window $w colours ${colours:-none}" >&2
      if [ -n "$colours" ] && [ "$colours" -gt "$paint_min_colours" ]; then
        echo $(( $(now_ms) - t0 ))
        [ -z "${PW_BENCH_TRACE:-}" ] || echo "$2: $polls polls" >&2
        cp "$work/grab.png" "$work/first-frame-$2.png"
        return 0
      fi
    done
  done
  echo "no painted window '$title' within $timeout_s s" >&2
  return 1
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

setup_title="Brisklane Pathwick Setup"
minimal_title="Pathwick Bench Window"
trap 'stop_program "$setup_title" PathwickSetup.exe || true; stop_program "$minimal_title" bench_window.exe || true; pw_wine_down' EXIT
stop_program "$setup_title" PathwickSetup.exe

: >"$work/setup.txt"
: >"$work/minimal.txt"
for i in $(seq 0 "$runs"); do
  s=$(time_first_frame "$setup_title" PathwickSetup.exe "$setup_exe")
  stop_program "$setup_title" PathwickSetup.exe
  m=$(time_first_frame "$minimal_title" bench_window.exe "$minimal_exe")
  stop_program "$minimal_title" bench_window.exe
  if [ "$i" = 0 ]; then
    echo "warm-up: installer $s ms, minimal window $m ms (not counted)"
    continue
  fi
  echo "run $i: installer $s ms, minimal window $m ms"
  echo "$s" >>"$work/setup.txt"
  echo "$m" >>"$work/minimal.txt"
done
ms=$(median <"$work/setup.txt")
mm=$(median <"$work/minimal.txt")
echo "median to first painted frame over $runs runs: installer $ms ms, minimal window $mm ms"
awk -v a="$ms" -v b="$mm" 'BEGIN { printf "ratio installer/minimal: %.2f\n", a / b }'
echo "first frames as grabbed: $work/first-frame-*.png"
