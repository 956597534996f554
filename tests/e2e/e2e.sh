#!/usr/bin/env bash
# End-to-end cases: the real installer executable under Wine, driven with
# xdotool like a user, against the local server (serving the stand-in
# installer at /pathwick/brisklane-pathwick.exe), the stand-in product and the
# browser stand-in. Asserts on what the user and the system see: windows and
# their titles, files, log lines, opened URLs, collector hits, exit codes.
# Screenshots of every page state land in <build>/e2e-shots/<case>/.
#
#   [PW_E2E_EXE=FILE PW_E2E_NAME=NAME] e2e.sh BUILD_DIR CASE
#                              CASE: happy | second_instance | close_texts |
#                                    download_failure | product_running_ok |
#                                    product_running_cancel | german |
#                                    invalid_folder | arabic_rtl |
#                                    folder_dialog | low_disk_space |
#                                    bad_payloads | installer_fails |
#                                    close_during_download | free_space_unknown |
#                                    usage | silent_install | silent_failures |
#                                    silent_product_running | analytics_off |
#                                    accessibility | keyboard | display_scale
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

if [ -z "${DISPLAY:-}" ]; then
  # shellcheck source=/dev/null
  source "$root/scripts/env.sh"
  pw_wine_up
  own_wine=1   # cleanup stops the display and wineserver started here
fi
: "${WINEPREFIX:=$build/wineprefix}"
export WINEPREFIX

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
export PW_STANDIN_INSTALLER_LOG="$work/installer.log"
export PW_STANDIN_INSTALL_MS=${PW_STANDIN_INSTALL_MS:-2000}
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
  [ -n "${listen_pid:-}" ] && kill -KILL "$listen_pid" 2>/dev/null
  # The stand-in product's window belongs to its own Windows process; a
  # product that Start Now started must not outlive the case either, or the
  # next installation finds it running.
  kill_window_owner Pathwick Pathwick.exe
  if [ -n "$product_pid" ]; then
    kill -KILL "$product_pid" 2>/dev/null
    wait "$product_pid" 2>/dev/null
  fi
  local pid; pid=$(cat "$work/e2e.pid" 2>/dev/null)
  if [ -n "$pid" ] && grep -q e2e_server.py "/proc/$pid/cmdline" 2>/dev/null; then
    kill "$pid" 2>/dev/null
  fi
  if [ -n "${own_wine:-}" ]; then
    pw_wine_down
  fi
}
trap cleanup EXIT

# The signed stand-in installer and its bad copies (tests/fixtures/payloads).
payloads="$build/tests/fixtures/payloads"

start_server() { # start_server [pwserver options...]
  cp "$build/tests/fixtures/standin_installer.exe" "$work/root/brisklane-pathwick.exe"
  cp "$payloads"/*.exe "$work/root/"
  setsid python3 "$here/e2e_server.py" --port "$port" --root "$work/root" \
    --cert "$build/pki/server.pem" --key "$build/pki/server.key" \
    --port-file "$work/e2e.port" --time-limit 300 "$@" </dev/null >"$work/server.log" 2>&1 &
  echo $! >"$work/e2e.pid"
  for _ in $(seq 1 100); do
    [ -s "$work/e2e.port" ] && return 0
    sleep 0.1
  done
  echo "server did not start"; cat "$work/server.log"; exit 1
}

# The main window: the visible window with the setup title that is
# main_width pixels wide (650 at 96 DPI; within a pixel at other scales).
main_width=650
main_sized() { # main_sized WINDOW
  local width
  width=$(xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
  [ -n "$width" ] && [ $((width - main_width)) -ge -1 ] && [ $((width - main_width)) -le 1 ]
}
find_main_window() { # find_main_window TIMEOUT_S -> prints the id
  local deadline=$((SECONDS + $1)) w
  while :; do
    for w in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
      if main_sized "$w"; then
        echo "$w"; return 0
      fi
    done
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.3
  done
}

# A message box: a visible window with the setup title that is not of the
# main window's width.
find_message_box() { # find_message_box TIMEOUT_S -> prints the id
  local deadline=$((SECONDS + $1)) w
  while :; do
    for w in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
      if ! main_sized "$w"; then
        echo "$w"; return 0
      fi
    done
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.3
  done
}

click() { # click WINDOW X Y (client coordinates)
  xdotool mousemove --window "$1" "$2" "$3" sleep 0.2 click 1
}

shot() { # shot NAME [WINDOW]: the window's area, else the whole screen
  local geo
  if [ -n "${2:-}" ] && geo=$(xdotool getwindowgeometry --shell "$2" 2>/dev/null); then
    eval "$geo"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "$shots/$1.png" 2>/dev/null
  else
    import -window root "$shots/$1.png" 2>/dev/null
  fi
}

wait_for() { # wait_for TIMEOUT_S COMMAND...
  local deadline=$((SECONDS + $1)); shift
  while [ $SECONDS -lt $deadline ]; do
    "$@" && return 0
    sleep 0.3
  done
  return 1
}

# Serves the copy NAME (good, flipped, unsigned, untrusted, other-publisher)
# as the installer from the next request on.
serve() { cp "$work/root/$1.exe" "$work/root/brisklane-pathwick.exe"; }

log_has() { [ -f "$logfile" ] && grep -aqF -- "$1" "$logfile"; }
log_count() { [ -f "$logfile" ] && grep -acF -- "$1" "$logfile" || echo 0; }

kill_window_owner() { # kill_window_owner TITLE EXE: ends the processes of EXE that show a window TITLE
  local w pid
  for w in $(xdotool search --name "^$1\$" 2>/dev/null); do
    pid=$(xdotool getwindowpid "$w" 2>/dev/null) || continue
    if [ -n "$pid" ] && grep -aq "$2" "/proc/$pid/cmdline" 2>/dev/null; then
      kill -KILL "$pid" 2>/dev/null
    fi
  done
}

stop_app() {
  # The window's own process (its X client) is the one to end; the Wine
  # launcher started here may not be that process.
  kill_window_owner "$title" PathwickSetup.exe
  if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then
    kill -KILL "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null
  fi
  app_pid=""
  # Until its window is gone the instance still holds the mutex.
  wait_for 20 no_main_window
}

no_main_window() { ! find_main_window 0 >/dev/null; }

start_app() { # start_app [ARGUMENTS...]: Wine joins them with blanks, quoting those that hold one
  "$wine_run" "$exe" "$@" >"$work/app.out" 2>&1 &
  app_pid=$!
}

wait_app_exit() { # wait_app_exit TIMEOUT_S -> sets app_rc
  local deadline=$((SECONDS + $1))
  while [ $SECONDS -lt $deadline ] && kill -0 "$app_pid" 2>/dev/null; do sleep 0.3; done
  if kill -0 "$app_pid" 2>/dev/null; then app_rc=timeout; return 1; fi
  wait "$app_pid"; app_rc=$?
  app_pid=""
  return 0
}

# Client coordinates of the controls in the 650x360 skin.
install_x=325; install_y=207      # btn_install / btn_start
close_x=630; close_y=22           # closebtn

case_happy() {
  start_server --rate 80000
  rm -rf "$progfiles/Brisklane"
  rm -f "$logfile"
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  pass "main window shown"
  sleep 1
  shot 01-home "$w"
  check "the TLS stack loaded while the home page shows" wait_for 10 log_has "secure channel loaded: yes"
  click "$w" $install_x $install_y
  check "download page entered" wait_for 10 log_has "UpdateWindowSate:kWindow_Downloading"
  sleep 1.5
  shot 02-downloading "$w"
  check "download ended with success" wait_for 60 log_has "HttpDownloadEnd$(printf '\xa3\xba')Success"
  # The signature check runs between the end of the download and this state.
  check "installing state" wait_for 10 log_has "UpdateWindowSate:kWindow_Installing"
  local ranges
  ranges=$(curl -s "http://127.0.0.1:$port/requests" | grep "\"path\": \"/files/brisklane-pathwick.exe\"" |
           grep -o '"range": "bytes=[0-9-]*"' | sort -u | wc -l)
  check "five byte ranges ($ranges)" [ "$ranges" = 5 ]
  sleep 0.5
  shot 03-installing "$w"
  check "finish state" wait_for 60 log_has "UpdateWindowSate:kWindow_Finish"
  sleep 0.5
  shot 04-finish "$w"
  local want=' /verysilent /corvane_down /wait_run /path="C:\Program Files\"'
  check "installer command line" grep -aqF -- "cmdline=$want" "$work/installer.log"
  check "post-installation page opened" wait_for 10 grep -sqF "producturl?key=installed&pid=380&lang=English" "$PW_BROWSER_RECORD"
  # The page opens about one second after the finish page: compare the log
  # record's time with the moment the browser stand-in wrote its record.
  local finish_ts delay
  finish_ts=$(grep -a "InstallExeFinish" "$logfile" | tail -1 | awk '{print $1 " " $2}' | tr , .)
  delay=$(awk -v a="$(date -d "$finish_ts" +%s.%N)" -v b="$(date -r "$PW_BROWSER_RECORD" +%s.%N)" \
              'BEGIN { printf "%.2f", b - a }')
  check "post-installation page opened about 1 s after the finish ($delay s)" \
        awk -v d="$delay" 'BEGIN { exit !(d >= 0.9 && d <= 5) }'
  local domain="$progfiles/Brisklane/Brisklane Pathwick/domain"
  check "domain file holds com_english" [ "$(cat "$domain" 2>/dev/null)" = "com_english" ]
  check "downloaded installer removed" wait_for 5 test ! -e "$datadir/corvane-download.exe"
  local hits; hits=$(curl -s "http://127.0.0.1:$port/hits")
  check "analytics event 1" grep -q "Downloader_Start_Install" <<<"$hits"
  check "analytics event 2" grep -q "Downloader_Installed" <<<"$hits"
  click "$w" $install_x $install_y
  check "window closed after Start Now" wait_app_exit 20
  check "exit code 0 ($app_rc)" [ "$app_rc" = 0 ]
  check "stand-in product started" wait_for 15 grep -q "^start " "$PW_PATHWICK_RECORD"
}

case_second_instance() {
  start_app
  local first=$app_pid
  find_main_window 60 >/dev/null || { fail "first window shown"; return; }
  local t0=$SECONDS
  "$wine_run" "$exe" >/dev/null 2>&1
  local rc=$?
  check "second instance exits -1 ($rc)" [ "$rc" = 255 ]
  check "second instance exits at once" [ $((SECONDS - t0)) -le 10 ]
  "$wine_run" "$exe" /S >/dev/null 2>&1
  rc=$?
  check "silent second instance exits -1 ($rc)" [ "$rc" = 255 ]
  local count; count=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | wc -l)
  check "still one window ($count)" [ "$count" = 1 ]
  app_pid=$first
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

box_open() { xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | grep -qx "$1"; }

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

no_message_box() { ! find_message_box 0 >/dev/null; }

box_width() { # box_width BOX
  xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p'
}

# The child windows of the visible windows with a title, read inside Wine by
# window_text.exe: lines "child <class> <x> <y> <w> <h> <text>", the
# rectangle in the window's client (= X window) coordinates. For the setup
# title only the message boxes count (not the 650-pixel main window).
window_children() { # window_children TITLE
  "$wine_run" "$build/tests/e2e/window_text.exe" "$1" 2>/dev/null | tr -d '\r' |
    awk -v main="$([ "$1" = "$title" ] && echo 1)" '/^window / { keep = !(main && $2 ~ /^650x/) } /^child / && keep'
}
box_children() { window_children "$title"; }
child_text() { sed -e 's/^[^ ]* [^ ]* [^ ]* [^ ]* [^ ]* [^ ]* //'; }
box_text() { box_children | awk '$2 == "Static" && NF > 6' | child_text; }

# Waits for a message box (its id lands in $box), keeps a screenshot of the
# screen and checks the box's text.
box=""
expect_box() { # expect_box SHOT WHAT TEXT
  box=$(find_message_box 10) || { fail "$2 shown"; return 1; }
  sleep 0.5
  shot "$1"
  local text; text=$(box_text)
  check "$2 ($text)" [ "$text" = "$3" ]
}

# Clicks the button with the given caption ("&No", "OK", ...) in WINDOW, a
# window with the title TITLE (the setup title by default).
press_button() { # press_button WINDOW CAPTION [TITLE]
  local line geo
  line=$(window_children "${3:-$title}" | awk '$2 == "Button"' |
         while read -r l; do [ "$(child_text <<<"$l")" = "$2" ] && { echo "$l"; break; }; done)
  geo=$(awk '{ print $3 + int($5 / 2), $4 + int($6 / 2) }' <<<"$line")
  [ -n "$geo" ] || return 1
  # shellcheck disable=SC2086
  click "$1" $geo
}
# Answers the open message box by clicking a button; true once it is gone.
press_box_button() { # press_box_button BOX CAPTION
  press_button "$1" "$2" || return 1
  wait_for 5 sh -c "! xdotool search --onlyvisible --name '^$title\$' 2>/dev/null | grep -qx '$1'"
}

# The close question: its text on the home page and on the download page,
# No keeps the window (and the download goes on), after the finish closing
# asks nothing.
case_close_texts() {
  start_server --rate 8000
  rm -rf "$progfiles/Brisklane"
  rm -f "$logfile"
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1
  click "$w" $close_x $close_y
  expect_box 01-close-home "home page asks STR_CLOSE_TIP1" "Are you sure you want to quit?" || return
  check "No answers the question" press_box_button "$box" "&No"
  check "No keeps the window" sh -c "kill -0 $app_pid && xdotool search --onlyvisible --name '^$title\$' | grep -qx $w"
  # Download page (Escape asks to close as well).
  click "$w" $install_x $install_y
  wait_for 10 log_has "UpdateWindowSate:kWindow_Downloading" || fail "download page entered"
  sleep 1
  key_to "$w" "$w" Escape
  expect_box 02-close-downloading "download page asks STR_CLOSE_TIP2" \
             "Installation is in progress. Are you sure you want to quit?" || return
  check "No answers the question" press_box_button "$box" "&No"
  check "the download goes on to the finish page" wait_for 120 log_has "UpdateWindowSate:kWindow_Finish"
  check "the window stayed" kill -0 "$app_pid"
  sleep 1.5
  shot 03-finish "$w"
  click "$w" $close_x $close_y
  check "closing after the finish asks nothing" wait_app_exit 10
  check "exit code 0 after closing ($app_rc)" [ "$app_rc" = 0 ]
}

# A download that fails (the server has no installer): Retry starts a new
# download, Ignore opens the installer URL and returns to the home page, Abort
# closes the window and leaves no downloaded file.
case_download_failure() {
  start_server
  rm -f "$work/root/brisklane-pathwick.exe"
  rm -f "$logfile"
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1
  local failed; failed="HttpDownloadEnd$(printf '\xa3\xba')Failed"
  local t0; t0=$(date +%s%N)
  click "$w" $install_x $install_y
  find_message_box 60 >/dev/null
  local took=$((($(date +%s%N) - t0) / 1000000))
  check "the 404 answer shows the failure box within 5 s of Install ($took ms)" [ "$took" -le 5000 ]
  check "failure reported" log_has "$failed"
  expect_box 01-download-failed "Abort/Retry/Ignore question" "Network error. Please check your network settings.\n\nClick Abort to cancel installation, Retry to try again, or Ignore to download via browser." || return
  # The next question may follow at once (a 404 fails fast): what Retry did
  # is checked next.
  check "Retry pressed" press_button "$box" "&Retry"
  check "Retry downloads again" wait_for 60 sh -c "[ \$(grep -acF '$failed' '$logfile') -ge 2 ]"
  check "Retry stays on the download page" sh -c "[ \$(grep -acF 'UpdateWindowSate:kWindow_Init' '$logfile') = 1 ]"
  box=$(find_message_box 10) || { fail "question after Retry"; return; }
  check "Ignore pressed" press_box_button "$box" "&Ignore"
  check "Ignore opens the installer URL" wait_for 15 grep -sqF "https://localhost:$port/pathwick/brisklane-pathwick.exe" "$PW_BROWSER_RECORD"
  check "Ignore returns to the home page" wait_for 10 sh -c "[ \$(grep -acF 'UpdateWindowSate:kWindow_Init' '$logfile') = 2 ]"
  sleep 1
  shot 02-after-ignore "$w"
  click "$w" $install_x $install_y
  check "third failure" wait_for 60 sh -c "[ \$(grep -acF '$failed' '$logfile') -ge 3 ]"
  box=$(find_message_box 10) || { fail "question before Abort"; return; }
  check "Abort pressed" press_box_button "$box" "&Abort"
  check "Abort closes the window" wait_app_exit 15
  check "exit code 0 after Abort ($app_rc)" [ "$app_rc" = 0 ]
  check "no downloaded file left" [ ! -e "$datadir/corvane-download.exe" ]
}

# The product runs when the installer is about to start: OK ends it and the
# installation goes on; Cancel closes the window and leaves it running.
start_product() {
  local dir="$WINEPREFIX/drive_c/pw-e2e-product"
  mkdir -p "$dir"
  cp "$build/tests/fixtures/Pathwick.exe" "$dir/Pathwick.exe"
  PW_PATHWICK_RECORD="$work/running-product.txt" "$wine_run" "$dir/Pathwick.exe" >/dev/null 2>&1 &
  product_pid=$!
  wait_for 30 grep -q "^start " "$work/running-product.txt"
}

product_running_case() { # product_running_case ok|cancel
  start_server
  rm -rf "$progfiles/Brisklane"
  rm -f "$logfile"
  start_product || { fail "stand-in product started"; return; }
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1
  click "$w" $install_x $install_y
  check "running product found" wait_for 60 log_has "StartInstallExe$(printf '\xa3\xba')FindProcess"
  expect_box 01-product-running "product-running question" "Brisklane Pathwick is running. Continuing installation will forcely quit the program. Are you sure to install?" || return
  if [ "$1" = ok ]; then
    check "OK pressed" press_box_button "$box" "OK"
    check "OK ends the product" wait_for 15 sh -c "! kill -0 $product_pid 2>/dev/null"
    check "installation goes on to the finish page" wait_for 60 log_has "UpdateWindowSate:kWindow_Finish"
    check "domain file written" [ -f "$progfiles/Brisklane/Brisklane Pathwick/domain" ]
    # Finished: closing asks nothing and ends the process.
    sleep 1.5
    click "$w" $close_x $close_y
    check "closing after the finish asks nothing" wait_app_exit 10
    check "exit code 0 after closing ($app_rc)" [ "$app_rc" = 0 ]
  else
    check "Cancel pressed" press_box_button "$box" "Cancel"
    check "Cancel closes the window" wait_app_exit 15
    check "exit code 0 after Cancel ($app_rc)" [ "$app_rc" = 0 ]
    check "the product keeps running" kill -0 "$product_pid"
    check "nothing installed" [ ! -e "$progfiles/Brisklane/Brisklane Pathwick/domain" ]
  fi
}
case_product_running_ok() { product_running_case ok; }
case_product_running_cancel() { product_running_case cancel; }

# The German UI language: the package's German row is chosen and the window
# shows other texts than the English one (compared with an English run).
case_german() {
  local lang_shot
  for lang in en_US de_DE; do
    rm -f "$logfile"
    LANG=$lang.UTF-8 LC_ALL=$lang.UTF-8 start_app
    local w; w=$(find_main_window 60) || { fail "main window shown ($lang)"; return; }
    sleep 1.5
    shot "home-$lang" "$w"
    if [ "$lang" = de_DE ]; then
      check "German language chosen" log_has "Language Code:1031"
      click "$w" $close_x $close_y
      expect_box close-de_DE "German close question" "Möchten Sie das Setup wirklich beenden?"
    fi
    stop_app
    sleep 1
  done
  local diff
  diff=$(compare -metric AE "$shots/home-en_US.png" "$shots/home-de_DE.png" null: 2>&1 | cut -d' ' -f1)
  check "German texts differ from the English ones ($diff pixels)" [ "${diff%.*}" -gt 500 ]
}

# An invalid folder: the folder field names a folder whose parent is gone by
# the time Install is clicked. The field is read-only (it opens the folder
# dialog), so the prefix's Program Files folder is pointed for this case at a
# folder below a link; the installer fills the field with it at start-up, and
# the link is removed before the click. Install then shows the red tip, opens
# the folder area and downloads nothing.
pf_key='HKLM\Software\Microsoft\Windows\CurrentVersion'
restore_program_files() {
  "$wine_run" reg add "$pf_key" /v ProgramFilesDir /d 'C:\Program Files' /f >/dev/null 2>&1
  rm -f "$WINEPREFIX/drive_c/pw-e2e-pf"
}
case_invalid_folder() {
  # No server: nothing may reach the network, which the log shows.
  mkdir -p "$work/pf/Program Files"
  rm -f "$WINEPREFIX/drive_c/pw-e2e-pf"
  ln -s "$work/pf" "$WINEPREFIX/drive_c/pw-e2e-pf"
  trap 'restore_program_files; cleanup' EXIT
  "$wine_run" reg add "$pf_key" /v ProgramFilesDir /d 'C:\pw-e2e-pf\Program Files' /f >/dev/null 2>&1 ||
    { fail "Program Files folder redirected"; return; }
  logfile="$work/pf/Program Files/corvane_down/PathwickSetup/Log/corvane_down.log"
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1
  check "data folder below the redirected Program Files" wait_for 10 log_has "LoadResZipFile"
  shot 01-home "$w"
  rm -f "$WINEPREFIX/drive_c/pw-e2e-pf"
  check "folder area closed before Install" [ -z "$(xdotool getwindowgeometry "$w" | grep 'Geometry: 650x435')" ]
  click "$w" $install_x $install_y
  check "Install read the folder" wait_for 10 log_has 'sel path:C:\pw-e2e-pf\Program Files\'
  check "folder area opened" wait_for 10 sh -c "xdotool getwindowgeometry $w | grep -q 'Geometry: 650x435'"
  sleep 1
  shot 02-invalid-folder "$w"
  check "folder refused" sh -c "! grep -aqF 'sel path end' '$logfile'"
  check "page stays on the home page" sh -c "! grep -aqF 'kWindow_Downloading' '$logfile'"
  # The red tip: pure red text pixels in the folder area.
  local red; red=$(red_tip_pixels "$shots/02-invalid-folder.png")
  check "red tip shown (${red:-0} red pixels)" awk -v n="${red:-0}" 'BEGIN { exit !(n > 20) }'
  sleep 2
  check "no size probe, no download" sh -c "! grep -aqE 'get file size begin|HttpDownload' '$logfile'"
  restore_program_files
}

# Right to left: the variant whose package holds an "Arabic" row, run with the
# Arabic UI language, builds its window from the right-to-left layouts (the
# title bar's logo on the right) and fills the progress bar from the right:
# the bar's value is 100 - percent and its fore image covers the part not yet
# done, so the green background shows at the right end. A screen reader finds
# the mirrored places and the real percentage; the speed line shows.
ink_pixels() { # ink_pixels PNG GEOMETRY -> count of pixels that are not near white
  convert "$1" +repage -crop "$2" +repage -fuzz 10% -fill black -opaque white -fill white +opaque black \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}
green_columns() { # green_columns PNG ROW -> "first last" green columns of that row
  convert "$1" +repage -crop "650x1+0+$2" +repage -fill black +opaque '#68D1AB' -fill white -opaque '#68D1AB' \
    -depth 8 txt:- 2>/dev/null | awk -F'[,:]' '/#FFFFFF/ { if (f == "") f = $1; l = $1 } END { print f, l }'
}
case_arabic_rtl() {
  exe="$build/tests/e2e/rtl/PathwickSetup.exe"
  # Slow enough that the speed line shows for a few seconds after the first
  # 100 kB of each range arrive.
  start_server --rate 5000
  rm -rf "$progfiles/Brisklane"
  rm -f "$logfile"
  LANG=ar_SA.UTF-8 LC_ALL=ar_SA.UTF-8 start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1.5
  shot 01-home "$w"
  check "Arabic language chosen" log_has "Language Code:1025"
  # main_rtl.xml puts the brand logo at the top right, the buttons at the left.
  local left right
  left=$(ink_pixels "$shots/01-home.png" 110x32+10+5); right=$(ink_pixels "$shots/01-home.png" 110x32+530+5)
  logo_at_the_right() { [ "${right:-0}" -gt 500 ] && [ "${left:-0}" -lt 300 ]; }
  check "right-to-left layout: logo at the top right ($left / $right ink pixels left / right)" logo_at_the_right
  click "$w" $install_x $install_y
  check "download page entered" wait_for 10 log_has "UpdateWindowSate:kWindow_Downloading"
  local cols="" first last
  for _ in $(seq 1 40); do
    sleep 0.5
    shot 02-downloading "$w"
    cols=$(green_columns "$shots/02-downloading.png" 318)
    [ -n "${cols// }" ] && break
  done
  read -r first last <<<"$cols"
  # The bar spans columns 166 to 598.
  fills_from_the_right() { [ "${last:-0}" -ge 590 ] && [ "${first:-0}" -gt 175 ]; }
  check "progress fills from the right (green columns ${first:-none}-${last:-none})" fills_from_the_right
  # A reader finds the mirrored places: Close at the left, Minimize right of
  # it; the bar reads the percentage, not the mirrored value.
  local close minimize
  close=$(acc_place "push button" "Close"); minimize=$(acc_place "push button" "Minimize")
  mirrored_title_buttons() { [ -n "$close" ] && [ -n "$minimize" ] && [ "${close%% *}" -lt 100 ] && [ "${close%% *}" -lt "${minimize%% *}" ]; }
  check "a reader finds Close at the left, Minimize beside it (${close:-none} / ${minimize:-none})" mirrored_title_buttons
  # The bar's value and the percentage label, from one reading of the tree.
  bar_reads_the_label() {
    acc_tree | awk -F'\t' '$2 == "progress bar" && $3 !~ /invisible/ { v = $6 }
                           $2 == "static text" && $5 ~ /^[0-9]+ %$/ { l = $5 }
                           END { print "(" v " / " l ")" > "/dev/stderr"; exit !(v != "" && v == l) }'
  }
  check "the bar reads the percentage the label shows, not 100 - percent" wait_for 5 bar_reads_the_label
  check "the speed line under the bar" wait_for 20 speed_shown
  shot 02-speed-line "$w"
  check "finish state" wait_for 90 log_has "UpdateWindowSate:kWindow_Finish"
  sleep 0.5
  shot 03-finish "$w"
}

fold_x=600; fold_y=337            # chk_fold (opens the folder area)
browse_x=566; browse_y=397        # btn_browse in the folder area
dialog_title="Browse for Folder"  # the caption Wine gives the shell's folder dialog

# Chooses a new folder NAME on drive C: in the folder dialog, opened with
# Browse from the folder area. The tree starts at the desktop ("/",
# Documents, My Computer, Trash); My Computer holds the drives, (C:) first.
# The folder is made with the dialog's own "Make New Folder" button.
folder_area_open() { xdotool getwindowgeometry "$1" | grep -q 'Geometry: 650x435'; }
folder_dialog_open() { xdotool search --onlyvisible --name "^$dialog_title\$" >/dev/null 2>&1; }
no_folder_dialog() { ! folder_dialog_open; }
open_folder_dialog() { # open_folder_dialog WINDOW -> the dialog's id in $d
  folder_area_open "$1" || click "$1" $fold_x $fold_y
  wait_for 5 folder_area_open "$1" || { echo "folder area did not open"; return 1; }
  click "$1" $browse_x $browse_y
  wait_for 10 sh -c "xdotool search --onlyvisible --name '^$dialog_title\$' >/dev/null 2>&1" || { echo "no folder dialog"; return 1; }
  d=$(xdotool search --onlyvisible --name "^$dialog_title\$" | head -1)
  sleep 0.5
}
choose_new_folder_on_c() { # choose_new_folder_on_c WINDOW NAME
  local d
  open_folder_dialog "$1" || return 1
  click "$d" 104 119                 # My Computer
  local k
  for k in Right Down; do            # expand it, then (C:)
    xdotool key --window "$d" "$k" 2>/dev/null
    sleep 0.3
    nudge "$d"
  done
  press_button "$d" "&Make New Folder" "$dialog_title" || { echo "no Make New Folder button"; return 1; }
  sleep 1
  xdotool type --window "$d" "$2" 2>/dev/null
  xdotool key --window "$d" Return 2>/dev/null
  sleep 0.3
  nudge "$d"
  wait_for 5 test -d "$WINEPREFIX/drive_c/$2" || { echo "new folder not made"; return 1; }
  sleep 0.5
  shot 01-folder-dialog
  press_button "$d" "OK" "$dialog_title" || { echo "no OK button"; return 1; }
  wait_for 5 sh -c "! xdotool search --onlyvisible --name '^$dialog_title\$' 2>/dev/null | grep -qx $d"
}

# My Computer, chosen in the folder dialog, is no folder of the file system:
# the red tip shows and the field keeps its folder.
choose_my_computer() { # choose_my_computer WINDOW
  local d
  open_folder_dialog "$1" || return 1
  click "$d" 104 119                 # My Computer
  sleep 0.5
  press_button "$d" "OK" "$dialog_title" || { echo "no OK button"; return 1; }
  wait_for 5 sh -c "! xdotool search --onlyvisible --name '^$dialog_title\$' 2>/dev/null | grep -qx $d"
}
red_tip_pixels() { # red_tip_pixels PNG -> pure red text pixels in the folder area
  convert "$1" +repage -crop 650x75+0+360 +repage \
    -fx 'r > 0.8 && g < 0.4 && b < 0.4' -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}

# A folder chosen (and made) through the folder dialog lands in the field,
# and the installation goes there. Before that, My Computer is refused.
case_folder_dialog() {
  chosen="$WINEPREFIX/drive_c/pwapps"
  rm -rf "$chosen"
  trap 'rm -rf "$chosen"; cleanup' EXIT
  start_server
  rm -f "$logfile"
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1
  check "My Computer chosen in the dialog" choose_my_computer "$w"
  check "My Computer refused" wait_for 5 log_has "not a file-system folder"
  sleep 1
  shot 00-not-a-folder "$w"
  local red; red=$(red_tip_pixels "$shots/00-not-a-folder.png")
  check "red tip shown (${red:-0} red pixels)" awk -v n="${red:-0}" 'BEGIN { exit !(n > 20) }'
  check "folder made and chosen in the dialog" choose_new_folder_on_c "$w" pwapps
  sleep 1
  shot 02-folder-chosen "$w"
  click "$w" $install_x $install_y
  check "Install takes the chosen folder" wait_for 10 log_has 'sel path:C:\pwapps\'
  check "finish state" wait_for 90 log_has "UpdateWindowSate:kWindow_Finish"
  sleep 0.5
  shot 03-finish "$w"
  check "installer run for the chosen folder" grep -aqF -- '/path="C:\pwapps\"' "$work/installer.log"
  check "product installed in the chosen folder" [ -f "$chosen/Brisklane/Brisklane Pathwick/Pathwick.exe" ]
  check "domain file in the chosen folder" \
        [ "$(cat "$chosen/Brisklane/Brisklane Pathwick/domain" 2>/dev/null)" = "com_english" ]
}

# Too little disk space: the prefix's drive T: is a 40 MiB file system, and
# the Program Files folder (so the default install folder) is pointed at it
# for this case; the served installer has 20 MiB, three times that does not
# fit. The storage message names 60 MB; OK returns to the home page at 0 %
# and nothing is downloaded.
low_disk_cleanup() {
  restore_program_files
  rm -f "$WINEPREFIX/dosdevices/t:"
  umount -l "$tdrive" 2>/dev/null
}
case_low_disk_space() {
  tdrive="$work/small"
  mkdir -p "$tdrive"
  if ! mount -t tmpfs -o size=40m pw-e2e-small "$tdrive" 2>"$work/mount.err"; then
    echo "SKIP: this machine cannot mount a small file system: $(cat "$work/mount.err")"
    exit 77
  fi
  trap 'low_disk_cleanup; cleanup' EXIT
  ln -sfn "$tdrive" "$WINEPREFIX/dosdevices/t:"
  mkdir -p "$tdrive/Program Files"
  "$wine_run" reg add "$pf_key" /v ProgramFilesDir /d 'T:\Program Files' /f >/dev/null 2>&1 ||
    { fail "Program Files folder on T:"; return; }
  logfile="$tdrive/Program Files/corvane_down/PathwickSetup/Log/corvane_down.log"
  datadir="$tdrive/Program Files/corvane_down/PathwickSetup"
  start_server
  truncate -s 20M "$work/root/brisklane-pathwick.exe"
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1
  click "$w" $install_x $install_y
  check "Install takes the folder on T:" wait_for 10 log_has 'sel path:T:\Program Files\'
  wait_for 30 log_has "FreeSize:"
  local sizes; sizes=$(grep -aoE "OnClickInstall$(printf '\xa3\xba')filesize:[0-9]+MB--FreeSize:[0-9]+MB" "$logfile")
  check "sizes compared, 20 MiB installer, under 60 MiB free (${sizes:-no record})" \
        grep -qE "filesize:20MB--FreeSize:(3[0-9]|40)MB" <<<"$sizes"
  expect_box 01-storage-message "storage message asks for 60 MB" \
             "Insuficient storage. Storage required: 60 MB" || return
  check "OK confirms the message" press_box_button "$box" "OK"
  check "back on the home page" wait_for 10 sh -c "[ \$(grep -acF 'UpdateWindowSate:kWindow_Init' '$logfile') = 2 ]"
  sleep 1
  shot 02-home-again "$w"
  check "nothing downloaded" sh -c "! grep -aqF 'HttpDownload' '$logfile' && [ ! -e '$datadir/corvane-download.exe' ]"
  local hits; hits=$(curl -s "http://127.0.0.1:$port/requests" | grep -c '"range": "bytes=')
  check "no byte range requested ($hits)" [ "$hits" = 0 ]
  low_disk_cleanup
}

# The server hands out each bad copy of the installer in turn: the download
# succeeds, the signature check refuses the file (the box says so, the log
# names the reason), the stand-in never starts and the file is gone; Retry
# downloads again. With the good copy the installation then completes.
verify_failed_text="The downloaded installer could not be verified and was not run.\n\nClick Abort to cancel installation, Retry to try again, or Ignore to download via browser."
case_bad_payloads() {
  start_server
  rm -rf "$progfiles/Brisklane"
  rm -f "$logfile"
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1
  local done; done="HttpDownloadEnd$(printf '\xa3\xba')Success"
  local n=0 entry copy reason
  for entry in "flipped:bad digest" "unsigned:no signature" "untrusted:untrusted chain" \
               "other-publisher:wrong publisher"; do
    copy=${entry%%:*}; reason=${entry#*:}; n=$((n + 1))
    serve "$copy"
    if [ "$n" = 1 ]; then
      click "$w" $install_x $install_y
    else
      # The next box may follow at once: what Retry did is checked next.
      check "$copy: Retry pressed" press_button "$box" "&Retry"
    fi
    check "$copy: downloaded (download $n)" wait_for 60 sh -c "[ \$(grep -acF '$done' '$logfile') -ge $n ]"
    expect_box "0$n-$copy" "$copy: verify-failed box" "$verify_failed_text" || return
    check "$copy: refused for $reason" \
          sh -c "grep -a 'VerifyInstaller: refused' '$logfile' | sed -n ${n}p | grep -qF 'refused: $reason (error 0x'"
    check "$copy: the stand-in installer never started" test ! -e "$PW_STANDIN_INSTALLER_LOG"
    check "$copy: the downloaded file is gone" test ! -e "$datadir/corvane-download.exe"
  done
  check "never left the download page" sh -c "! grep -aqE 'kWindow_(Installing|Finish)' '$logfile'"
  serve good
  check "good copy: Retry pressed" press_button "$box" "&Retry"
  check "good copy: accepted" wait_for 60 log_has "VerifyInstaller: accepted, signed by Brisklane Test Publisher"
  check "good copy: finish state" wait_for 60 log_has "UpdateWindowSate:kWindow_Finish"
  sleep 0.5
  shot 05-finish "$w"
  check "good copy: the product is installed" test -f "$progfiles/Brisklane/Brisklane Pathwick/Pathwick.exe"
  check "good copy: the installer ran once" [ "$(grep -ac 'cmdline=' "$PW_STANDIN_INSTALLER_LOG")" = 1 ]
  check "good copy: downloaded installer removed" wait_for 5 test ! -e "$datadir/corvane-download.exe"
}

# The installer fails: it exits with 5, and the window says so instead of
# showing the finish page; Retry downloads and runs it afresh, and it then
# exits with 0 without installing anything (the message again); the third run
# installs. On the finish page the product is removed before Start Now: a
# message says it could not be started and the window stays.
install_failed_text="The installation of Brisklane Pathwick did not complete. Click Retry to download and run the installer again, or Cancel to quit."
case_installer_fails() {
  start_server
  rm -rf "$progfiles/Brisklane"
  rm -f "$logfile"
  export PW_STANDIN_RESULT_FILE="$work/result.txt"
  echo 5 >"$PW_STANDIN_RESULT_FILE"
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1
  click "$w" $install_x $install_y
  expect_box 01-exit-code-5 "exit code 5: installer-failure message" "$install_failed_text" || return
  check "exit code 5 logged" log_has "exit code 5"
  check "no finish page" sh -c "! grep -aqF 'kWindow_Finish' '$logfile'"
  echo 0 >"$PW_STANDIN_RESULT_FILE"
  check "Retry pressed" press_button "$box" "&Retry"
  check "Retry downloads again" wait_for 60 sh -c "[ \$(grep -acF 'Download....' '$logfile') = 2 ]"
  expect_box 02-no-product "exit code 0, nothing installed: installer-failure message" "$install_failed_text" || return
  check "missing product logged" log_has "exit code 0, product missing"
  check "the installer ran twice" [ "$(grep -ac 'cmdline=' "$PW_STANDIN_INSTALLER_LOG")" = 2 ]
  rm -f "$PW_STANDIN_RESULT_FILE"
  check "Retry pressed" press_button "$box" "&Retry"
  check "finish state after the third run" wait_for 60 log_has "UpdateWindowSate:kWindow_Finish"
  sleep 1.5
  shot 03-finish "$w"
  rm -f "$progfiles/Brisklane/Brisklane Pathwick/Pathwick.exe"
  click "$w" $install_x $install_y
  expect_box 04-start-failed "Start Now failure message" "Brisklane Pathwick could not be started." || return
  check "OK pressed" press_box_button "$box" "OK"
  check "the window stays" sh -c "sleep 1; kill -0 $app_pid && xdotool search --onlyvisible --name '^$title\$' | grep -qx $w"
  click "$w" $close_x $close_y
  check "closing after the finish asks nothing" wait_app_exit 10
}

# Closing during the download: Yes stops the engine's workers, the window
# goes, and the partly written file is deleted.
case_close_during_download() {
  start_server --rate 50000
  truncate -s 4M "$work/root/brisklane-pathwick.exe"
  rm -f "$logfile"
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1
  click "$w" $install_x $install_y
  check "the download writes its file" wait_for 30 sh -c "[ \$(stat -c %s '$datadir/corvane-download.exe' 2>/dev/null || echo 0) -gt 0 ]"
  sleep 1
  shot 01-downloading "$w"
  key_to "$w" "$w" Escape
  expect_box 02-close-question "download page asks STR_CLOSE_TIP2" \
             "Installation is in progress. Are you sure you want to quit?" || return
  local t0=$SECONDS
  check "Yes answers the question" press_box_button "$box" "&Yes"
  check "the window closes" wait_app_exit 45
  check "exit code 0 ($app_rc)" [ "$app_rc" = 0 ]
  check "the download stopped first ($((SECONDS - t0)) s)" log_has "closing: the download stopped"
  check "every worker ended" [ "$(log_count 'SUCCCESS!')" = 5 ]
  check "the partial file is gone" test ! -e "$datadir/corvane-download.exe"
  check "nothing more was shown" sh -c "! grep -aqF 'VerifyInstaller' '$logfile'"
}

# The free space of the install drive cannot be read: the drive goes away
# (as a removable drive would) after the folder was accepted and while the
# size of the installer is asked for, which a server that holds every
# connection for 1.5 s makes slow (four attempts). A message says so and the window returns to
# the home page. The prefix's drive T: holds Program Files for this case.
case_free_space_unknown() {
  tdrive="$work/drive-t"
  mkdir -p "$tdrive/Program Files"
  trap 'kill "$(cat "$work/slow.pid" 2>/dev/null)" 2>/dev/null; low_disk_cleanup; cleanup' EXIT
  ln -sfn "$tdrive" "$WINEPREFIX/dosdevices/t:"
  "$wine_run" reg add "$pf_key" /v ProgramFilesDir /d 'T:\Program Files' /f >/dev/null 2>&1 ||
    { fail "Program Files folder on T:"; return; }
  logfile="$tdrive/Program Files/corvane_down/PathwickSetup/Log/corvane_down.log"
  setsid python3 -c '
import socket, sys, threading, time
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", int(sys.argv[1])))
server.listen(16)
server.settimeout(60)
def hold(conn):
    time.sleep(1.5)
    conn.close()
while True:
    conn, _ = server.accept()
    threading.Thread(target=hold, args=(conn,), daemon=True).start()
' "$port" </dev/null >/dev/null 2>&1 &
  echo $! >"$work/slow.pid"
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1
  click "$w" $install_x $install_y
  check "Install takes the folder on T:" wait_for 10 log_has 'sel path:T:\Program Files\'
  check "the size is being asked for" wait_for 10 log_has "get file size begin"
  ln -sfn "$work/no-such-drive" "$WINEPREFIX/dosdevices/t:"
  check "the free-space query fails" wait_for 30 log_has "GetFreeSize Failed"
  expect_box 01-free-space-unknown "free-space message" \
             "The free space of the installation drive could not be read. Please choose another installation path." || return
  check "OK confirms the message" press_box_button "$box" "OK"
  check "back on the home page" wait_for 10 sh -c "[ \$(grep -acF 'UpdateWindowSate:kWindow_Init' '$logfile') = 2 ]"
  sleep 1
  shot 02-home-again "$w"
  check "nothing downloaded" sh -c "! grep -aqF 'HttpDownload' '$logfile'"
  low_disk_cleanup
}

# ---- Assistive technology and the keyboard ------------------------------

# The main window as a screen reader sees it, read inside Wine by
# acc_probe.exe: one line per child, tab-separated:
#   child <id>  <role>  <states>  <x>,<y>,<w>,<h>  <name>  <value>  <action>
acc_tree() { "$wine_run" "$build/tests/e2e/acc_probe.exe" tree "$title" 2>/dev/null | tr -d '\r'; }
acc_do() { # acc_do NAME ROLE: the child's default action, as a reader does it
  "$wine_run" "$build/tests/e2e/acc_probe.exe" do "$title" "$1" "$2" >/dev/null 2>&1
}
# A listed child with this role and name is shown, named, with its rectangle
# inside the client area and every state word asked for (pages hold controls
# of the same name: one of them must be it).
acc_shows() { # acc_shows ROLE NAME [STATE...]
  local role=$1 name=$2; shift 2
  acc_tree | awk -F'\t' -v r="$role" -v n="$name" -v want="$*" '
    function fits(   p, ws, i, k) {
      if ($3 ~ /invisible/ || $5 == "" || split($4, p, ",") != 4) return 0
      if (p[1] < 0 || p[2] < 0 || p[1] + p[3] > cw || p[2] + p[4] > ch || p[3] <= 0 || p[4] <= 0) return 0
      k = split(want, ws, " "); for (i = 1; i <= k; i++) if (index("," $3 ",", "," ws[i] ",") == 0) return 0
      return 1 }
    /^client / { split($0, c, " "); cw = c[2]; ch = c[3] }
    /^child / && $2 == r && $5 == n && fits() { found = 1 }
    END { exit !found }'
}
# The child is listed with this word among its states, or without it (of
# several children with that role and name, the first shown one, else the
# first).
acc_state() { # acc_state ROLE NAME has|lacks WORD
  acc_tree | awk -F'\t' -v r="$1" -v n="$2" -v how="$3" -v w="$4" '
    /^child / && $2 == r && $5 == n && (!f || (hidden && $3 !~ /invisible/)) {
      f = 1; hidden = $3 ~ /invisible/; has = index("," $3 ",", "," w ",") > 0 }
    END { exit !(f && (how == "has" ? has : !has)) }'
}
acc_value() { # acc_value ROLE NAME -> the child's value
  acc_tree | awk -F'\t' -v r="$1" -v n="$2" '$2 == r && $5 == n && $3 !~ /invisible/ { print $6; exit }'
}
acc_place() { # acc_place ROLE NAME -> "x y w h"
  acc_tree | awk -F'\t' -v r="$1" -v n="$2" '$2 == r && $5 == n && $3 !~ /invisible/ { gsub(",", " ", $4); print $4; exit }'
}
# The speed line under the progress bar shows ("... MB of ... MB · ... MB/s").
speed_shown() { acc_tree | awk -F'\t' '$2 == "static text" && $3 !~ /invisible/ && $5 ~ / MB of .* MB\/s/ { f = 1 } END { exit !f }'; }
# Every event a reader hears from the installer's process, into a file as
# it comes (so plain wine, not wine-run, which hands the output over at the
# end), while the window lives; acc_heard_all waits until the window is gone
# and the file complete.
listen_pid=""
acc_listen() { # acc_listen FILE
  WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine "$build/tests/e2e/acc_probe.exe" events "$title" 200 \
    >"$1" 2>/dev/null </dev/null &
  listen_pid=$!
  wait_for 20 grep -q listening "$1"
}
acc_heard_all() { wait_for 20 sh -c "! kill -0 $listen_pid 2>/dev/null"; }
# The names of the focus events heard so far (controls only), comma-joined.
# The focus events heard since line FROM of the file (controls only):
# "<role>:<name>" joined by " > ".
focus_trail() { # focus_trail FILE [FROM]
  tr -d '\r' <"$1" | tail -n +"${2:-1}" |
    awk -F'\t' '$1 == "focus" && $2 != "client" && $4 != "" { printf "%s%s:%s", s, $2, $4; s = " > " }'
}
lines_of() { wc -l <"$1"; }
ring_pixels() { # ring_pixels PNG GEOMETRY -> pixels of the focus ring colour there
  convert "$1" +repage -crop "$2" +repage -fill black +opaque '#2E8F6C' -fill white -opaque '#2E8F6C' \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}
licence="I've read and agreed to Brisklane License Agreement"
nbsp=$'\xc2\xa0'   # "Start Now" is joined by a no-break space

# A screen reader's view: the home and the download page list the controls a
# user needs with their roles, names, states and places; the licence box
# ticked through its default action makes Install unavailable; the progress
# bar's value moves and the speed line appears under it; the reader hears
# the changes; Close through its default action asks, as a click does. (The
# finish page is read in the keyboard case.) A 6 MiB download at 150 kB/s
# per range reports progress every 100 kB.
case_accessibility() {
  start_server --rate 150000
  truncate -s 6M "$work/root/brisklane-pathwick.exe"
  rm -f "$logfile"
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1
  check "the probe listens to the installer" acc_listen "$work/events.txt"
  acc_tree >"$work/home-tree.txt"
  check "home page: Install, a focused push button" acc_shows "push button" "Install" focused focusable
  check "home page: the licence check box, checked" acc_shows "check box" "$licence" checked focusable
  check "home page: the licence link" acc_shows "link" "$licence" linked
  check "home page: Customize, a check box" acc_shows "check box" "Customize Installation" focusable
  check "home page: Minimize" acc_shows "push button" "Minimize" focusable
  check "home page: Close" acc_shows "push button" "Close" focusable
  check "home page: the logo, a graphic" acc_shows "graphic" "Brisklane Pathwick"
  check "home page: Start Now listed, not shown" acc_state "push button" "Start${nbsp}Now" has invisible
  check "the licence box unticked by its default action" acc_do "$licence" "check box"
  check "Install becomes unavailable" wait_for 10 acc_state "push button" "Install" has unavailable
  check "the box reads unchecked" acc_state "check box" "$licence" lacks checked
  check "ticked again by its default action" acc_do "$licence" "check box"
  check "Install is available again" wait_for 10 acc_state "push button" "Install" lacks unavailable
  click "$w" $install_x $install_y
  check "download page entered" wait_for 10 log_has "UpdateWindowSate:kWindow_Downloading"
  check "download page: the progress bar" wait_for 10 acc_shows "progress bar" "Installing..."
  check "download page: Hide, focused" wait_for 10 acc_shows "push button" "Hide" focused
  check "download page: Minimize" acc_shows "push button" "Minimize"
  check "download page: Close" acc_shows "push button" "Close"
  check "download page: Install not shown" acc_state "push button" "Install" has invisible
  local first; first=$(acc_value "progress bar" "Installing...")
  value_moved() { local v; v=$(acc_value "progress bar" "Installing..."); [ -n "$v" ] && [ "$v" != "$first" ]; }
  check "the progress value changes (first ${first:-none})" wait_for 30 value_moved
  echo "progress value now: $(acc_value "progress bar" "Installing...")"
  check "the speed line under the bar" wait_for 20 speed_shown
  shot 01-speed-line "$w"
  echo "speed line: $(acc_tree | awk -F'\t' '$2 == "static text" && $5 ~ / MB of / { print $5 }')"
  check "Close pressed by its default action" acc_do "Close" "push button"
  expect_box 02-close-question "Close asks, as a click does" \
             "Installation is in progress. Are you sure you want to quit?" || return
  check "Yes answers the question" press_box_button "$box" "&Yes"
  check "the window closes" wait_app_exit 45
  check "exit code 0 ($app_rc)" [ "$app_rc" = 0 ]
  check "the probe heard everything until the window went" acc_heard_all
  tr -d '\r' <"$work/events.txt" >"$work/events-clean.txt"
  heard() { grep -qP "$1" "$work/events-clean.txt"; }
  check "heard: the check box's state" heard "^state\tcheck box\t[^\t]*\t$licence"
  check "heard: Install unavailable" heard "^state\tpush button\t[^\t]*unavailable[^\t]*\tInstall\t"
  check "heard: the progress value" heard "^value\tprogress bar\t[^\t]*\tInstalling\.\.\.\t[1-9][0-9]* %"
  check "heard: the percentage text" heard "^name\tstatic text\t[^\t]*\t[1-9][0-9]* %"
  check "heard: the speed line" heard "^name\tstatic text\t[^\t]*\t[0-9.]+ MB of "
  check "heard: the page change shows the bar" heard "^show\tprogress bar\t"
  check "heard: the page change hides Install" heard "^hide\tpush button\t[^\t]*invisible[^\t]*\tInstall\t"
  check "heard: the focus on Hide" heard "^focus\tpush button\t[^\t]*\tHide\t"
}

# The keyboard alone, without a click: Tab and Shift+Tab go round every page
# in visual order and wrap (a reader hears each focus), the focused control
# shows the ring (not before a key was used), Space ticks the licence box and
# opens the folder area, Tab reaches the folder field without opening the
# folder dialog, Enter on the link opens the licence page, Enter on Install
# installs and Enter on Start Now starts the product.
case_keyboard() {
  start_server --rate 20000
  rm -rf "$progfiles/Brisklane"
  rm -f "$logfile"
  start_app
  local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
  sleep 1
  press() { local k; for k in "$@"; do key_to "$w" "$w" "$k"; done; }
  check "the probe listens to the installer" acc_listen "$work/events.txt"
  check "Install has the focus at start" acc_shows "push button" "Install" focused
  shot 00-before-keys "$w"
  local none; none=$(ring_pixels "$shots/00-before-keys.png" 650x360+0+0)
  check "no focus ring before the keyboard is used (${none:-?} ring pixels)" [ "${none:-1}" = 0 ]
  local from; from=$(lines_of "$work/events.txt")
  press Tab
  shot 01-ring-licence-box "$w"
  press Tab Tab
  shot 02-ring-customize "$w"
  press Tab Tab Tab
  local box="check box:$licence" link="link:$licence" custom="check box:Customize Installation"
  local trail; trail=$(focus_trail "$work/events.txt" $((from + 1)))
  check "Tab goes round the home page in visual order ($trail)" \
        [ "$trail" = "$box > $link > $custom > push button:Minimize > push button:Close > push button:Install" ]
  local ring
  ring=$(ring_pixels "$shots/01-ring-licence-box.png" 26x26+15+323)
  check "the ring around the licence box (${ring:-0} pixels)" [ "${ring:-0}" -ge 40 ]
  ring=$(ring_pixels "$shots/02-ring-customize.png" 212x42+423+315)
  check "the ring around Customize (${ring:-0} pixels)" [ "${ring:-0}" -ge 300 ]
  from=$(lines_of "$work/events.txt")
  press shift+Tab Tab
  trail=$(focus_trail "$work/events.txt" $((from + 1)))
  check "Shift+Tab goes back, Tab forward again ($trail)" [ "$trail" = "push button:Close > push button:Install" ]
  press Tab space
  check "Space unticks the licence box: Install unavailable" wait_for 5 acc_state "push button" "Install" has unavailable
  press space
  check "Space ticks it again: Install available" wait_for 5 acc_state "push button" "Install" lacks unavailable
  press Tab Return
  check "Enter on the link opens the licence page" wait_for 10 grep -sqF "producturl?key=license_agreement" "$PW_BROWSER_RECORD"
  press Tab space
  check "Space on Customize opens the folder area" wait_for 5 folder_area_open "$w"
  press Tab
  check "Tab reaches the folder field" wait_for 5 acc_shows "editable text" "Installation Path" focused
  sleep 1
  check "the folder dialog stays closed" no_folder_dialog
  press Return
  check "Enter in the field opens the folder dialog" wait_for 10 folder_dialog_open
  local d; d=$(xdotool search --onlyvisible --name "^$dialog_title\$" 2>/dev/null | head -1)
  [ -n "$d" ] && key_to "$d" "$d" Escape
  check "Escape closes the dialog" wait_for 10 no_folder_dialog
  check "then Browse has the focus" wait_for 5 acc_shows "push button" "Browse" focused
  shot 03-ring-browse "$w"
  press shift+Tab
  check "Shift+Tab back to the field" wait_for 5 acc_shows "editable text" "Installation Path" focused
  sleep 1
  check "the folder dialog stays closed" no_folder_dialog
  press shift+Tab space
  check "Shift+Tab back to Customize, Space closes the folder area" wait_for 5 sh -c "! xdotool getwindowgeometry $w | grep -q 'Geometry: 650x435'"
  press shift+Tab shift+Tab shift+Tab
  check "back on Install" acc_shows "push button" "Install" focused
  from=$(lines_of "$work/events.txt")
  press Return
  check "Enter on Install: download page" wait_for 10 log_has "UpdateWindowSate:kWindow_Downloading"
  check "Hide has the focus on the download page" wait_for 10 acc_shows "push button" "Hide" focused
  press Tab Tab Tab
  trail=$(focus_trail "$work/events.txt" $((from + 1)))
  check "Tab goes round the download page ($trail)" \
        [ "$trail" = "push button:Hide > push button:Minimize > push button:Close > push button:Hide" ]
  check "finish state" wait_for 90 log_has "UpdateWindowSate:kWindow_Finish"
  check "Start Now has the focus on the finish page" wait_for 10 acc_shows "push button" "Start${nbsp}Now" focused
  from=$(lines_of "$work/events.txt")
  press Tab Tab Tab
  trail=$(focus_trail "$work/events.txt" $((from + 1)))
  check "Tab goes round the finish page ($trail)" \
        [ "$trail" = "push button:Minimize > push button:Close > push button:Start${nbsp}Now" ]
  shot 04-finish "$w"
  press Return
  check "Enter on Start Now closes the window" wait_app_exit 20
  check "exit code 0 ($app_rc)" [ "$app_rc" = 0 ]
  check "the product started" wait_for 15 grep -q "^start " "$PW_PATHWICK_RECORD"
}

# Display scales. LogPixels of the prefix's desktop is the DPI the installer
# sees (it declares itself DPI aware); the case puts it back to 96 at the
# end, whatever happens. At 120, 144 and 192 DPI the window is 650 x 360
# times the scale, within a pixel. At 96 and 144 DPI it runs a whole
# installation and keeps a screenshot of every page, and of the home page in
# German and Japanese. The scaled home page must be drawn at its scale, not
# stretched: it has hard edges (neighbouring pixels that differ by 40 % of
# full brightness or more) where the 96-DPI page stretched to 150 % as the
# system would stretch it (bilinear) has almost none.
set_dpi() { "$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
scaled() { echo $((($1 * $2 + 48) / 96)); }   # scaled LENGTH DPI
window_size() { xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*x[0-9]*\).*/\1/p'; }
size_is() { [ "$(window_size "$1")" = "$2" ]; }   # size_is WINDOW WxH
size_within_a_pixel() { # size_within_a_pixel WxH W H
  local w=${1%x*} h=${1#*x}
  [ $((w - $2)) -ge -1 ] && [ $((w - $2)) -le 1 ] && [ $((h - $3)) -ge -1 ] && [ $((h - $3)) -le 1 ]
}
hard_edges() { # hard_edges PNG [RESIZE%] -> share of pixels 40 % brighter or darker than their left neighbour
  convert "$1" +repage ${2:+-filter Triangle -resize "$2"} -colorspace Gray \( +clone -roll +1+0 \) \
    -compose Difference -composite -threshold 40% -format '%[fx:mean]' info: 2>/dev/null
}
scale_run() { # scale_run DPI: the whole installation at that scale, a shot of each page
  local dpi=$1 w size
  rm -rf "$progfiles/Brisklane"
  rm -f "$logfile"
  start_app
  w=$(find_main_window 60) || { fail "main window shown at $dpi DPI"; return; }
  sleep 1.5
  size=$(window_size "$w")
  check "window at $dpi DPI is $size" [ "$size" = "$(scaled 650 "$dpi")x$(scaled 360 "$dpi")" ]
  shot "home-$dpi" "$w"
  click "$w" "$(scaled $fold_x "$dpi")" "$(scaled $fold_y "$dpi")"
  local open_size; open_size="$(scaled 650 "$dpi")x$(($(scaled 360 "$dpi") + $(scaled 75 "$dpi")))"
  check "folder area opens at $dpi DPI ($open_size)" wait_for 10 size_is "$w" "$open_size"
  sleep 0.5
  shot "folder-$dpi" "$w"
  click "$w" "$(scaled $fold_x "$dpi")" "$(scaled $fold_y "$dpi")"
  check "folder area closes at $dpi DPI" wait_for 10 size_is "$w" "$size"
  click "$w" "$(scaled $install_x "$dpi")" "$(scaled $install_y "$dpi")"
  check "download page entered at $dpi DPI" wait_for 10 log_has "UpdateWindowSate:kWindow_Downloading"
  sleep 1.5
  shot "download-$dpi" "$w"
  check "finish state at $dpi DPI" wait_for 90 log_has "UpdateWindowSate:kWindow_Finish"
  sleep 0.5
  shot "finish-$dpi" "$w"
  stop_app
}
case_display_scale() {
  trap 'set_dpi 96; cleanup' EXIT
  start_server --rate 400000
  local dpi lang w size
  for dpi in 120 192; do
    set_dpi "$dpi" || { fail "LogPixels set to $dpi"; continue; }
    main_width=$(scaled 650 "$dpi")
    start_app
    w=$(find_main_window 60) || { fail "main window shown at $dpi DPI"; stop_app; continue; }
    size=$(window_size "$w")
    check "window at $dpi DPI is $size: $(scaled 650 "$dpi")x$(scaled 360 "$dpi") within a pixel" \
      size_within_a_pixel "$size" "$(scaled 650 "$dpi")" "$(scaled 360 "$dpi")"
    sleep 1
    shot "home-$dpi" "$w"
    stop_app
  done
  for dpi in 96 144; do
    set_dpi "$dpi" || { fail "LogPixels set to $dpi"; continue; }
    main_width=$(scaled 650 "$dpi")
    for lang in de_DE ja_JP; do
      # The window's title is the package's: in Japanese the product name
      # and a word that xdotool's name search does not match.
      title="Brisklane Pathwick Setup"
      [ "$lang" = ja_JP ] && title="Brisklane Pathwick .*"
      rm -f "$logfile"
      LANG=$lang.UTF-8 LC_ALL=$lang.UTF-8 start_app
      w=$(find_main_window 60) || { fail "main window shown ($lang, $dpi DPI)"; stop_app; continue; }
      sleep 1.5
      shot "home-$lang-$dpi" "$w"
      check "$lang chosen at $dpi DPI" log_has "Language Code:$([ "$lang" = ja_JP ] && echo 1041 || echo 1031)"
      stop_app
    done
    title="Brisklane Pathwick Setup"
    scale_run "$dpi"
  done
  set_dpi 96
  local crisp stretched
  crisp=$(hard_edges "$shots/home-144.png"); stretched=$(hard_edges "$shots/home-96.png" 150%)
  sharper() { awk -v a="${crisp:-0}" -v b="${stretched:-1}" 'BEGIN { exit !(a > 3 * b && a > 0.001) }'; }
  check "home page at 144 DPI drawn at its scale: hard edges $crisp, stretched from 96 DPI $stretched" sharper
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
exits_with() { # exits_with CODE TIMEOUT_S
  wait_app_exit "$2" && [ "$app_rc" = "$1" ]
}
run_silent() { # run_silent NAME CODE [ARGUMENTS...]: one /S run that maps no window
  local name=$1 code=$2; shift 2
  watch_windows "$name"
  start_app /S "$@"
  check "$name: exit code $code" exits_with "$code" 120
  stop_watch
  check "$name: exit code $code logged (${app_rc:-none})" log_has "silent: exit code $code ("
  check "$name: no window mapped ($(mapped_count) map events, windows: $(new_windows | tr '\n' ' '))" nothing_mapped
}

# /? shows the usage box (the map watch sees it: the watch works), a wrong
# switch shows it too and ends with 2; with /S the same line shows nothing.
usage_text="Brisklane Pathwick Setup options:\n\n/S – install silently: no window and no questions; the exit code tells the outcome.\n/D=folder – installation folder; last on the line, without quotes.\n/LANG=code – language, for example 1031.\n/LOG=file – write the log to this file.\n/NOANALYTICS – send no usage statistics.\n/? or /HELP – show this help."
case_usage() {
  rm -f "$logfile"
  watch_windows help
  start_app /?
  expect_box 01-usage "usage box" "$usage_text" || return
  check "the map watch saw the box" [ "$(mapped_count)" -ge 1 ]
  check "OK pressed" press_box_button "$box" "OK"
  check "exit code 0 after /?" exits_with 0 15
  stop_watch
  check "no main window was shown" sh -c "! grep -aqF 'UpdateWindowSate' '$logfile'"
  start_app -Bogus
  expect_box 02-refused "usage box for a wrong switch" "$usage_text" || return
  check "OK pressed" press_box_button "$box" "OK"
  check "exit code 2 after a wrong switch" exits_with 2 15
  check "the refused switch logged" log_has "command line refused at: -Bogus"
  run_silent refused-silent 2 /LANG=german
  check "refused silently, nothing installed" sh -c "! grep -aqF 'silent: install root' '$logfile'"
}

# /S /LOG=... /D=<folder with a blank>: installed there, no window ever
# mapped, the product not started, no page opened, both events sent; the log
# file named on the line tells the administrator what happened.
case_silent_install() {
  start_server
  local dir="$WINEPREFIX/drive_c/pw silent"
  rm -rf "$dir" "$WINEPREFIX/drive_c/pw-logs" "$progfiles/Brisklane"
  rm -f "$logfile"
  logfile="$WINEPREFIX/drive_c/pw-logs/setup.log"
  run_silent install 0 '/LOG=C:\pw-logs\setup.log' '/D=C:\pw' 'silent\'
  check "product installed in the folder with a blank" test -f "$dir/Brisklane/Brisklane Pathwick/Pathwick.exe"
  check "domain file written" [ "$(cat "$dir/Brisklane/Brisklane Pathwick/domain" 2>/dev/null)" = "com_english" ]
  check "installer command line" grep -aqF -- 'cmdline= /verysilent /corvane_down /wait_run /path="C:\pw silent\"' "$work/installer.log"
  check "log: the command line" log_has '/S /LOG=C:\pw-logs\setup.log /D=C:\pw silent\'
  check "log: the install root" log_has 'silent: install root C:\pw silent\'
  check "log: the space decision" log_has "MB free, enough"
  check "log: the verdict" log_has "VerifyInstaller: accepted"
  check "log: the installer's exit code" log_has "ended with exit code 0"
  check "the default log stays unwritten" test ! -e "$datadir/Log/corvane_down.log"
  check "downloaded installer removed" test ! -e "$datadir/corvane-download.exe"
  sleep 2
  check "the product was not started" test ! -e "$PW_PATHWICK_RECORD"
  check "no page was opened" test ! -e "$PW_BROWSER_RECORD"
  local hits; hits=$(curl -s "http://127.0.0.1:$port/hits")
  check "analytics event 1" grep -q "Downloader_Start_Install" <<<"$hits"
  check "analytics event 2" grep -q "Downloader_Installed" <<<"$hits"
}

# /S with a download that fails (the server has no installer) exits with 5,
# with a payload that fails its signature check with 6; nothing is started.
case_silent_failures() {
  start_server
  rm -f "$logfile"
  rm -f "$work/root/brisklane-pathwick.exe"
  run_silent download 5
  check "the download failure logged" log_has "silent: the download failed"
  serve untrusted
  run_silent verification 6
  check "the refusal logged" log_has "VerifyInstaller: refused: untrusted chain"
  check "the installer never started" test ! -e "$PW_STANDIN_INSTALLER_LOG"
  check "no downloaded file left" test ! -e "$datadir/corvane-download.exe"
  check "the product was not started" test ! -e "$PW_PATHWICK_RECORD"
}

# /S while the product runs exits with 8 and leaves it running.
case_silent_product_running() {
  start_server
  rm -rf "$progfiles/Brisklane"
  rm -f "$logfile"
  start_product || { fail "stand-in product started"; return; }
  # Its window maps after it recorded the start; the watch begins after that.
  wait_for 15 sh -c "xdotool search --onlyvisible --name '^Pathwick\$' >/dev/null" ||
    { fail "stand-in product's window shown"; return; }
  run_silent product-running 8
  check "the running product logged" log_has "Pathwick.exe is running"
  check "the product keeps running" kill -0 "$product_pid"
  check "nothing installed" test ! -e "$progfiles/Brisklane/Brisklane Pathwick/domain"
  check "the installer never started" test ! -e "$PW_STANDIN_INSTALLER_LOG"
}

# Analytics off: a whole installation in the window with the machine policy
# set, and one with /NOANALYTICS (its folder and language preset from the
# command line), send no hit; the user policy is read as well.
policy_key='Software\Policies\Brisklane\Pathwick'
set_policy() { "$wine_run" reg add "$1\\$policy_key" /v DisableAnalytics /t REG_DWORD /d 1 /f >/dev/null 2>&1; }
clear_policies() {
  "$wine_run" reg delete "HKLM\\$policy_key" /f >/dev/null 2>&1
  "$wine_run" reg delete "HKCU\\$policy_key" /f >/dev/null 2>&1
}
install_in_window() { # install_in_window NAME [ARGUMENTS...]: Install, the finish page, close
  local name=$1; shift
  rm -f "$logfile"
  start_app "$@"
  local w; w=$(find_main_window 60) || { fail "$name: main window shown"; return 1; }
  sleep 1
  click "$w" $install_x $install_y
  check "$name: finish state" wait_for 90 log_has "UpdateWindowSate:kWindow_Finish"
  sleep 1.5
  shot "$name-finish" "$w"
  click "$w" $close_x $close_y
  check "$name: closed" exits_with 0 15
}
no_hits() { [ -z "$(curl -s "http://127.0.0.1:$port/hits")" ]; }
case_analytics_off() {
  trap 'clear_policies; cleanup' EXIT
  start_server
  local dir="$WINEPREFIX/drive_c/pw preset"
  rm -rf "$progfiles/Brisklane" "$dir"
  set_policy HKLM || { fail "machine policy set"; return; }
  install_in_window policy
  check "policy: one record says why" [ "$(log_count 'analytics are off: the policy under HKEY_LOCAL_MACHINE')" = 1 ]
  check "policy: the collector saw no hit" no_hits
  clear_policies
  set_policy HKCU || { fail "user policy set"; return; }
  rm -f "$logfile"
  start_app
  find_main_window 60 >/dev/null || fail "user policy: main window shown"
  check "user policy read" wait_for 10 log_has "analytics are off: the policy under HKEY_CURRENT_USER"
  stop_app
  clear_policies
  install_in_window switch /NOANALYTICS /LANG=1031 '/D=C:\pw' 'preset\'
  check "switch: one record says why" [ "$(log_count 'analytics are off: the /NOANALYTICS switch')" = 1 ]
  check "switch: the window was German" log_has "Language Code:1031"
  check "switch: installed in the preset folder" test -f "$dir/Brisklane/Brisklane Pathwick/Pathwick.exe"
  check "switch: the collector saw no hit" no_hits
}

# A window left by an earlier case would take the clicks and the mutex.
wait_for 20 no_main_window || { echo "FAIL: a setup window of an earlier run is still open"; exit 1; }
"case_$case_name"
echo "$case_name: $failures failure(s); screenshots in $shots"
[ "$failures" = 0 ]
