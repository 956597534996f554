# A server that ignores Range: the first whole-file answer is read as one stream, the others stop, and the installation completes.
#
# Every range request gets a 200 with the whole installer. The engine takes
# the first as the whole current file from byte 0; the signature check then
# proves the file byte-exact.

start_server --rate 200000 --faults 'norange=1'
rm -f "$logfile"
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
click "$w" $install_x $install_y
check "download ended with success" wait_for 60 log_has "HttpDownloadEnd$(printf '\xa3\xba')Success"
check "one stream from byte 0" log_has "with the whole file ($(stat -c %s "$work/root/brisklane-pathwick.exe") bytes): one stream"
check "installing state: the signature check passed" wait_for 10 log_has "UpdateWindowSate:kWindow_Installing"
check "finish state" wait_for 60 log_has "UpdateWindowSate:kWindow_Finish"
check "no failure box" no_message_box
