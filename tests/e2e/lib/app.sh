# The installer and its log: starting, stopping and waiting for it, the
# places of its controls, silent runs, the stand-in product, and the prefix's
# Program Files folder and drives that some cases redirect.

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

pf_key='HKLM\Software\Microsoft\Windows\CurrentVersion'
restore_program_files() {
  "$wine_run" reg add "$pf_key" /v ProgramFilesDir /d 'C:\Program Files' /f >/dev/null 2>&1
  rm -f "$WINEPREFIX/drive_c/pw-e2e-pf"
}

small_drive() { # small_drive SIZE NAME: a tmpfs of SIZE as drive T: with Program Files on it
  # (the case is skipped where nothing can be mounted); low_disk_cleanup undoes it.
  tdrive="$work/small"
  mkdir -p "$tdrive"
  if ! mount -t tmpfs -o "size=$1" "$2" "$tdrive" 2>"$work/mount.err"; then
    echo "SKIP: this machine cannot mount a small file system: $(cat "$work/mount.err")"
    exit 77
  fi
  trap 'low_disk_cleanup; cleanup' EXIT
  ln -sfn "$tdrive" "$WINEPREFIX/dosdevices/t:"
  mkdir -p "$tdrive/Program Files"
  "$wine_run" reg add "$pf_key" /v ProgramFilesDir /d 'T:\Program Files' /f >/dev/null 2>&1
}
low_disk_cleanup() {
  restore_program_files
  rm -f "$WINEPREFIX/dosdevices/t:"
  umount -l "$tdrive" 2>/dev/null
}

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
