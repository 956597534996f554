# What every case shares: its paths and work folder, the stand-ins' record files,
# the check helpers and the cleanup on exit. Sourced first.

port=${PW_SERVER_PORT:-47443}
# PW_E2E_EXE drives another build of the installer (the release file) with
# this build's server, stand-ins and prefix; PW_E2E_NAME names its work and
# screenshot folders.
exe="${PW_E2E_EXE:-$build/src/app/PathwickSetup.exe}"
run_name=${PW_E2E_NAME:-$case_name}
wine_run="$build/wine-run"
work="$build/tests/e2e/work/$run_name"
shots="${PW_E2E_SHOTS:-$build/e2e-shots/$run_name}"
progfiles="$WINEPREFIX/drive_c/Program Files"
datadir="$progfiles/corvane_down/PathwickSetup"
logfile="$datadir/Log/corvane_down.log"
title="Brisklane Pathwick Setup"
failures=0
app_pid=""
product_pid=""

rm -rf "$work" "$shots"
mkdir -p "$work/root" "$shots"
export PW_BROWSER_RECORD="$work/browser.txt"
export PW_PATHWICK_RECORD="$work/product.txt"
# Start Now's product records its start beside itself as well. Under Wine no
# file is the administrators' alone (each belongs to the user's account), so
# Start Now takes the unelevated way, the desktop shell, whose environment
# has no PW_PATHWICK_RECORD of this case: that record is read here.
started_record="$progfiles/Brisklane/Brisklane Pathwick/pathwick-starts.txt"
export PW_STANDIN_INSTALLER_LOG="$work/installer.log"
# The stand-in installs in 0.3 s: no case but happy (which shoots the page
# while it works, and sets its own) is about how long that takes.
export PW_STANDIN_INSTALL_MS=${PW_STANDIN_INSTALL_MS:-300}
export PW_PATHWICK_LIFETIME_MS=20000

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

cleanup() {
  # Wine programs ignore a plain termination request: end them outright (the
  # wineserver then releases their handles, the single-instance mutex too).
  stop_app
  [ -n "${proxy_set:-}" ] && clear_proxy
  [ -n "${listen_pid:-}" ] && kill -KILL "$listen_pid" 2>/dev/null
  [ -n "${silent_host_pid:-}" ] && kill -KILL "$silent_host_pid" 2>/dev/null
  # The stand-in product's window belongs to its own Windows process; a
  # product that Start Now started must not outlive the case either, or the
  # next installation finds it running.
  kill_window_owner Pathwick Pathwick.exe
  if [ -n "$product_pid" ]; then
    kill -KILL "$product_pid" 2>/dev/null
    wait "$product_pid" 2>/dev/null
  fi
  local f pid
  for f in "$work"/e2e.pid "$work"/e2e[23].pid; do
    pid=$(cat "$f" 2>/dev/null)
    if [ -n "$pid" ] && grep -q e2e_server.py "/proc/$pid/cmdline" 2>/dev/null; then
      kill "$pid" 2>/dev/null
    fi
  done
  if [ -n "${own_wine:-}" ]; then
    pw_wine_down
  fi
}
trap cleanup EXIT

wait_for() { # wait_for TIMEOUT_S COMMAND...
  local deadline=$((SECONDS + $1)); shift
  while [ $SECONDS -lt $deadline ]; do
    "$@" && return 0
    sleep 0.3
  done
  return 1
}
