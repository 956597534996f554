#!/usr/bin/env bash
# Installs what is missing, builds, and runs the installer under Wine. With
# no display it runs on a private virtual one. Afterwards it prints the log
# the run wrote into the data folder.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
bash "$here/setup.sh"
source "$here/env.sh"
pw_configure_and_build
[ -n "${DISPLAY:-}" ] && export PW_USE_DISPLAY="${PW_USE_DISPLAY:-1}"
pw_wine_up

exe="$pw_root/build/win/src/app/PathwickSetup.exe"
echo "demo: running $exe"
set +e
wine "$exe"
rc=$?
set -e
echo "demo: PathwickSetup.exe exited with $rc"
progfiles=$(wine cmd /c echo %ProgramFiles% 2>/dev/null | tr -d '\r')
log_unix=$(winepath -u "$progfiles\\corvane_down\\PathwickSetup\\Log\\corvane_down.log" 2>/dev/null)
echo "demo: log file $log_unix"
tail -n 20 "$log_unix"
