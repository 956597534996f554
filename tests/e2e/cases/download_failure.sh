# A failed download asks Abort/Retry/Ignore: Retry downloads again, Ignore opens the installer URL, Abort closes and leaves no file.
#
# A download that fails (the server has no installer): Retry starts a new
# download, Ignore opens the installer URL and returns to the home page, Abort
# closes the window and leaves no downloaded file.

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
