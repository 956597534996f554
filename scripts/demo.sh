#!/usr/bin/env bash
# The demo: installs what is missing, builds the installer with its package
# pointed at the local server, starts that server (serving the stand-in
# product installer at /pathwick/brisklane-pathwick.exe, the product pages
# and the analytics collector), and runs the installer under Wine.
#
# With a display (DISPLAY set) the window appears there and you drive it.
# Without one it runs on a private Xvfb, drives one whole installation
# automatically and saves a screenshot of every page to build/demo-shots/.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
bash "$here/setup.sh"
source "$here/env.sh"
pw_configure_and_build
win="$pw_root/build/win"

interactive=0
if [ -n "${DISPLAY:-}" ] && [ "${PW_DEMO_AUTO:-0}" != 1 ]; then
  interactive=1
  export PW_USE_DISPLAY=1
fi
pw_wine_up

# The test certificate authority, trusted only inside this build's Wine
# prefix, and the browser stand-in that records the pages the installer opens.
ctest --test-dir "$win" -Q -R '^win\.(net\.certs|net\.trust_ca|browser_standin_setup)$'

if [ "$interactive" = 0 ]; then
  shots="$pw_root/build/demo-shots"
  echo "demo: no display; driving one installation on a virtual display"
  set +e
  PW_E2E_SHOTS="$shots" bash "$pw_root/tests/e2e/e2e.sh" "$win" happy
  rc=$?
  set -e
  echo "demo: screenshots of every page in $shots:"
  ls -1 "$shots"
  exit $rc
fi

work="$pw_root/build/demo"
rm -rf "$work" && mkdir -p "$work/root"
cp "$win/tests/fixtures/standin_installer.exe" "$work/root/brisklane-pathwick.exe"
setsid python3 "$pw_root/tests/e2e/e2e_server.py" --port "$PW_SERVER_PORT" --root "$work/root" \
  --cert "$win/pki/server.pem" --key "$win/pki/server.key" --port-file "$work/server.port" \
  --time-limit 3600 </dev/null >"$work/server.log" 2>&1 &
server_pid=$!
trap 'kill $server_pid 2>/dev/null || true; pw_wine_down' EXIT
export PW_BROWSER_RECORD="$work/opened-urls.txt"
echo "demo: local server on https://localhost:$PW_SERVER_PORT (log: $work/server.log)"
echo "demo: pages the installer opens are listed in $PW_BROWSER_RECORD"
set +e
"$win/wine-run" "$win/src/app/PathwickSetup.exe"
rc=$?
set -e
echo "demo: PathwickSetup.exe exited with $rc"
log="$WINEPREFIX/drive_c/Program Files/corvane_down/PathwickSetup/Log/corvane_down.log"
echo "demo: the last lines of its log ($log):"
tail -n 15 "$log" 2>/dev/null || true
