# The package's mirrors: a 404, a host that dies halfway, an unresolvable name (/S), a mirror with another file, all three failing, Ignore.
#
# The test package names two mirrors of the download host (localhost:port):
# localhost:port+100 and localhost:port+200 (lib/servers.sh). Five short
# runs, each with servers of its own:
# 1. the download host answers 404: installed from the second host, and
#    the log names both;
# 2. the download host dies halfway (its port closed for the rest of the
#    run): installed without a box, the two hosts sent at most 1.05x the
#    file;
# 3. /S with a download host whose name does not resolve (the variant
#    built from make_unresolvable_package.py): exit 0 from the second host;
# 4. /S with ranges refused by the download host and another file on the
#    second host: that host is not used (the log says why), the third one
#    serves;
# 5. all three hosts fail (the first two refuse ranges, the third is down):
#    the usual box in the window, whose Ignore opens the second host's URL,
#    the last in use; exit 5 with /S.

local size finished failed box
failed="HttpDownloadEnd$(printf '\xa3\xba')Failed"
finished="UpdateWindowSate:kWindow_Finish"
local m2; m2=$(mirror_port 2)
local m3; m3=$(mirror_port 3)

install_in_window() { # install_in_window NAME: Install, then the finish page without a box
  rm -rf "$progfiles/Brisklane"
  rm -f "$logfile"
  start_app
  local w; w=$(find_main_window 60) || { fail "$1: main window shown"; return 1; }
  sleep 1
  click "$w" $install_x $install_y
  check "$1: finish page" wait_for 120 log_has "$finished"
  check "$1: no failure box" sh -c "! grep -aqF '$failed' '$logfile'"
  stop_app
}

# 1. A 404 at the download host.
start_server
size=$(stat -c %s "$work/root/brisklane-pathwick.exe")
start_mirror 2
rm -f "$work/root/brisklane-pathwick.exe"
install_in_window "404"
check "404: the download host failed in the log" log_has "ERR:GetDownloadFileSize fail! (https://localhost:$port)"
check "404: the second host named next" log_has "GetDownloadFileSize: next host https://localhost:$m2"
check "404: the second host sent the file ($(body_bytes_at "$m2") bytes)" [ "$(body_bytes_at "$m2")" -ge "$size" ]

# 2. The download host dies halfway and stays down.
stop_servers
start_server --rate 40000 --faults "down=300&downafter=$((size / 2))"
start_mirror 2
install_in_window "dies halfway"
check "dies halfway: the ranges went on from the second host" \
      log_has "no network at https://localhost:$port: bytes "
local sent1 sent2
sleep 0.5
sent1=$(body_bytes_down); sent2=$(body_bytes_at "$m2")
check "dies halfway: both hosts sent at most 1.05x the file (${sent1:-?} + ${sent2:-?} of $size bytes)" \
      awk -v a="${sent1:-999999999}" -v b="${sent2:-999999999}" -v f="$size" \
      'BEGIN { exit !(a + b <= 1.05 * f && a > 0 && b > 0) }'

# 3. /S, the download host's name does not resolve.
rm -f "$logfile"
rm -rf "$progfiles/Brisklane"
local main_exe=$exe
exe="$build/tests/e2e/unresolvable/PathwickSetup.exe"
run_silent unresolvable 0
exe=$main_exe
check "unresolvable: the download host named" log_has "(https://pathwick-down.invalid)"
check "unresolvable: installed from the second host" log_has "GetDownloadFileSize: next host https://localhost:$m2"

# 4. /S, ranges refused at the download host, another file at the second.
stop_servers
start_server --faults "rangestatus=404"
start_mirror 2
start_mirror 3
head -c 1000 "$work/root/brisklane-pathwick.exe" >>"$work/root2/brisklane-pathwick.exe"
rm -f "$logfile"
rm -rf "$progfiles/Brisklane"
run_silent "another file" 0
check "another file: the second host not used, and why" \
      log_has "ERR:mirror https://localhost:$m2 has another file ($((size + 1000)) bytes, this download $size)"
check "another file: no file bytes from the second host ($(body_bytes_at "$m2"))" [ "$(body_bytes_at "$m2")" = 0 ]
check "another file: the third host served" log_has "go on from https://localhost:$m3"

# 5. All three hosts fail.
stop_servers
start_server --faults "rangestatus=404"
start_mirror 2 --faults "rangestatus=410"
rm -f "$logfile" "$PW_BROWSER_RECORD"
start_app
local w; w=$(find_main_window 60) || { fail "all failing: main window shown"; return; }
sleep 1
click "$w" $install_x $install_y
box=$(find_message_box 60) || { fail "all failing: the failure box"; return; }
check "all failing: the second host taken" log_has "failed at https://localhost:$port: bytes "
check "all failing: the third host asked" log_has "ERR:mirror https://localhost:$m3 gave no size: not used"
expect_box 01-all-failing "all failing: the usual box" "Network error. Please check your network settings.\n\nClick Abort to cancel installation, Retry to try again, or Ignore to download via browser." || return
check "all failing: Ignore pressed" press_box_button "$box" "&Ignore"
check "all failing: Ignore opens the second host's URL" \
      wait_for 15 grep -sqF "https://localhost:$m2/pathwick/brisklane-pathwick.exe" "$PW_BROWSER_RECORD"
stop_app
rm -f "$logfile"
run_silent "all failing" 5
