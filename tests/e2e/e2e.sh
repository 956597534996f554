#!/usr/bin/env bash
# End-to-end cases: the real installer executable under Wine, driven with
# xdotool like a user, against the local server (serving the stand-in
# installer at /pathwick/brisklane-pathwick.exe), the stand-in product and the
# browser stand-in. Asserts on what the user and the system see: windows and
# their titles, files, log lines, opened URLs, collector hits, exit codes.
# Screenshots of every page state land in <build>/e2e-shots/<case>/.
#
#   [PW_E2E_EXE=FILE PW_E2E_NAME=NAME] e2e.sh BUILD_DIR CASE
#
# CASE names a file cases/CASE.sh: its first line says what it proves, the
# rest is the case's body, run inside a function after the helpers of lib/
# are loaded. Every check prints "ok: ..." or "FAIL: ...".
#
# Needs DISPLAY and a running wineserver (scripts/test.sh provides both; run
# alone it starts them through scripts/env.sh), the test CA trusted in the
# prefix and the browser stand-in registered (ctest fixtures pw_wine_ca and
# browser_standin).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: e2e.sh BUILD_DIR CASE}" && pwd)
case_name=${2:?usage: e2e.sh BUILD_DIR CASE}
if [ ! -f "$here/cases/$case_name.sh" ]; then
  echo "e2e.sh: no case '$case_name'; the cases are:" $(cd "$here/cases" && ls | sed 's/\.sh$//')
  exit 2
fi

if [ -z "${DISPLAY:-}" ]; then
  # shellcheck source=/dev/null
  source "$root/scripts/env.sh"
  pw_wine_up
  own_wine=1   # cleanup stops the display and wineserver started here
fi
: "${WINEPREFIX:=$build/wineprefix}"
export WINEPREFIX

# shellcheck source=lib/case.sh
source "$here/lib/case.sh"
for lib in "$here"/lib/*.sh; do
  [ "$lib" = "$here/lib/case.sh" ] || source "$lib"
done

run_case() {
  # shellcheck source=/dev/null
  source "$here/cases/$case_name.sh"
}

# A window left by an earlier case would take the clicks and the mutex.
wait_for 20 no_main_window || { echo "FAIL: a setup window of an earlier run is still open"; exit 1; }
run_case
if [ "$failures" != 0 ] && [ -f "$logfile" ]; then
  # The next case starts a new log: what explains this run goes out with it.
  echo "--- the installer's log, its last 60 records:"
  tail -n 60 "$logfile" | tr -cd '\11\12\40-\176'
fi
echo "$case_name: $failures failure(s); screenshots in $shots"
[ "$failures" = 0 ]
