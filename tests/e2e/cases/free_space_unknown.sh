# A free space that cannot be read is reported and the window returns to the home page.
#
# The free space of the install drive cannot be read: the drive goes away
# (as a removable drive would) after the folder was accepted and while the
# size of the installer is asked for, which a server that holds every
# connection for 1.5 s makes slow (four attempts). A message says so and the window returns to
# the home page. The prefix's drive T: holds Program Files for this case.

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
