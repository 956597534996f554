# Closing asks on the home and download pages (No keeps the window and the download) and not after the finish.
#
# The close question: its text on the home page and on the download page,
# No keeps the window (and the download goes on), after the finish closing
# asks nothing.

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
