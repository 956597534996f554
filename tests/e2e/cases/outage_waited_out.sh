# An outage halfway is waited out: the speed line says so, the installation completes with no box, the server sends at most 1.1x the file.
#
# Once half the installer is sent, the server cuts every answer and refuses
# connections for 12 s. The ranges wait for the network at the gate (one
# probe a second, no attempt counted), the speed line shows the waiting
# text, and when the port answers again the download goes on with the bytes
# it had. (How long an outage may last is the unit tests':
# OutageIsWaitedOutAtTheGateForFree.)

start_server --rate 20000 --faults 'down=12&downafter=320000'
rm -f "$logfile"
local size; size=$(stat -c %s "$work/root/brisklane-pathwick.exe")
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
click "$w" $install_x $install_y
waiting_shown() { acc_tree | awk -F'\t' '$2 == "static text" && $3 !~ /invisible/ && $5 == "Waiting for the network…" { f = 1 } END { exit !f }'; }
check "the speed line says it waits for the network" wait_for 60 waiting_shown
shot 01-waiting "$w"
check "the screenshot of the waiting text is kept" test -s "$shots/01-waiting.png"
check "the ranges wait for the network" log_has "no network (error 12029): waiting "
check "no box during the outage" no_message_box
check "download ended with success" wait_for 180 log_has "HttpDownloadEnd$(printf '\xa3\xba')Success"
check "finish state" wait_for 60 log_has "UpdateWindowSate:kWindow_Finish"
check "no failure box at any time" sh -c "! grep -aqF 'HttpDownloadEnd$(printf '\xa3\xba')Failed' '$logfile'"
local sent; sent=$(body_bytes)
check "the server sent at most 1.1x the file (${sent:-?} of $size bytes)" \
      awk -v s="${sent:-999999999}" -v f="$size" 'BEGIN { exit !(s <= 1.1 * f) }'
