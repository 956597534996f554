# An installer that fails or installs nothing is reported, Retry runs it afresh, and a product that cannot start is reported.

# The installer fails: it exits with 5, and the window says so instead of
# showing the finish page; Retry downloads and runs it afresh, and it then
# exits with 0 without installing anything (the message again); the third run
# installs. On the finish page the product is removed before Start Now: a
# message says it could not be started and the window stays.
install_failed_text="The installation of Brisklane Pathwick did not complete. Click Retry to download and run the installer again, or Cancel to quit."

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
