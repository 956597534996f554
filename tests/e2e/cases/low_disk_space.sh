# Too little free space shows the storage message naming three times the installer's size, and nothing is downloaded.
#
# Too little disk space: the prefix's drive T: is a 40 MiB file system, and
# the Program Files folder (so the default install folder) is pointed at it
# for this case; the served installer has 20 MiB, three times that does not
# fit. The storage message names 60 MB; OK returns to the home page at 0 %
# and nothing is downloaded.

small_drive 40m pw-e2e-small || { fail "Program Files folder on T:"; return; }
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
