# A scanner holding the downloaded installer, unshared, for 5 s after the download delays the check; the installation completes without a box.

start_server --rate 80000
rm -rf "$progfiles/Brisklane"
rm -f "$logfile" "$work/held" "$work/release" "$datadir/corvane-download.exe"
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
# It opens the file as soon as the download creates it: others may go on
# writing it, but nobody may read or run it until it lets go.
"$wine_run" "$build/tests/e2e/hold_file.exe" "Z:$datadir/corvane-download.exe" "Z:$work/held" "Z:$work/release" \
  >/dev/null 2>&1 &
local holder=$!
click "$w" $install_x $install_y
check "download ended with success" wait_for 60 log_has "HttpDownloadEnd$(printf '\xa3\xba')Success"
check "the scanner held the installer before the download ended" [ -e "$work/held" ]
sleep 5
touch "$work/release"
check "finish state" wait_for 60 log_has "UpdateWindowSate:kWindow_Finish"
check "the wait for the scanner logged" log_has "corvane-download.exe is held by another program: waiting"
# The log's times: from the end of the download to the accepted signature.
local waited
waited=$(grep -a "HttpDownloadEnd\|VerifyInstaller: accepted" "$logfile" | awk '{ split($2, t, /[:,]/)
  ms = ((t[1] * 60 + t[2]) * 60 + t[3]) * 1000 + t[4]; if (NR == 1) first = ms; last = ms } END { print last - first }')
check "the installer accepted after the scanner let go (${waited:-?} ms after the download)" [ "${waited:-0}" -ge 4000 ]
check "no box" no_message_box
check "product installed" [ -f "$progfiles/Brisklane/Brisklane Pathwick/Pathwick.exe" ]
wait "$holder"
