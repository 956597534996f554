# A download folder whose disk fills up: the disk message names the drive, no range is asked for again, Cancel closes and deletes the file, /S exits 4.
#
# The prefix's drive T: is a small file system holding Program Files, so the
# download folder; the installation folder is on C: (/D=), whose free space
# passes the check, and so is the log (/LOG=). Once the window shows, the
# disk is filled up to 200 KiB before the 625 KiB installer: a write fails
# and the download ends at once.

small_drive 8m pw-e2e-full || { fail "Program Files folder on T:"; return; }
logfile="$WINEPREFIX/drive_c/pw-e2e-full.log"
rm -f "$logfile"
datadir="$tdrive/Program Files/corvane_down/PathwickSetup"
start_server --rate 100000
fill_disk() { # leaves 200 KiB free on T:
  local free; free=$(df --output=avail -B1 "$tdrive" | tail -1)
  head -c $((free - 204800)) /dev/zero >>"$tdrive/filler" 2>/dev/null
}
range_requests() { curl -s "http://127.0.0.1:$port/requests" | grep -c '"range": "bytes='; }
start_app '/LOG=C:\pw-e2e-full.log' '/D=C:\pw-e2e-full'
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
fill_disk
click "$w" $install_x $install_y
expect_box 01-disk-message "the disk message names T: and the space needed" "The download could not be written to disk T:. The disk may be full: the installation needs 2 MB of free space. Free some space, then click Retry." || return
check "the download ended as a disk failure" log_has "HttpDownload,ret = -6"
check "the failing write was not retried" [ "$(log_count 'write to file fail')" -le 5 ]
local ranges; ranges=$(range_requests)
check "one request per range, none after the failing write ($ranges)" [ "$ranges" -le 5 ]
check "Cancel pressed" press_box_button "$box" "Cancel"
check "Cancel closes the window" wait_app_exit 15
check "the partial file is gone" test ! -e "$datadir/corvane-download.exe"
fill_disk
run_silent "silent" 4 '/LOG=C:\pw-e2e-full.log' '/D=C:\pw-e2e-full'
check "/S logs the disk failure" log_has "silent: the download file could not be written: the disk is full"
low_disk_cleanup
rm -rf "$WINEPREFIX/drive_c/pw-e2e-full" "$logfile"
