# One range fails for good while the other four complete: the failure box, then Retry fetches only that range (at most 0.3x the file) and the installation completes.
#
# Every range request holding byte 300000 (in the third of five ranges) gets
# a 404 while the server's flag file exists: that range fails at once and
# is not taken over; the other four complete before the box. The flag goes,
# Retry is pressed, and only the missing range is asked for.

start_server --rate 40000 --faults 'failrange=300000&failstatus=404'
touch "$work/root/failrange.flag"
rm -f "$logfile"
local size; size=$(stat -c %s "$work/root/brisklane-pathwick.exe")
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
click "$w" $install_x $install_y
find_message_box 90 >/dev/null
expect_box 01-failure-box "the failure box once the four ranges are done" "Network error. Please check your network settings.\n\nClick Abort to cancel installation, Retry to try again, or Ignore to download via browser." || return
local before; before=$(body_bytes)
check "one range failed for good" log_has "failed for good"
check "the other four completed before the box (${before:-?} of $size bytes sent)" \
      awk -v s="${before:-0}" -v f="$size" 'BEGIN { exit !(s >= 0.75 * f && s <= 0.85 * f) }'
rm -f "$work/root/failrange.flag"
check "Retry pressed" press_box_button "$box" "&Retry"
check "download ended with success" wait_for 90 log_has "HttpDownloadEnd$(printf '\xa3\xba')Success"
check "the download resumed the kept bytes" log_has "resuming with "
local after; after=$(body_bytes)
check "after Retry the server sent at most 0.3x the file ($((after - before)) of $size bytes)" \
      awk -v s="$((after - before))" -v f="$size" 'BEGIN { exit !(s <= 0.3 * f) }'
check "finish state" wait_for 60 log_has "UpdateWindowSate:kWindow_Finish"
