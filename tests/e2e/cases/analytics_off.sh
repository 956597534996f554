# The analytics policy (machine or user) and /NOANALYTICS send no hit to the collector.

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
