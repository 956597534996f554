# /S exits 5 for a failed download, 6 for a refused payload, 7 for one a scanner holds past 15 s, and starts nothing.
#
# /S with a download that fails (the server has no installer) exits with 5,
# with a payload that fails its signature check with 6, with a payload that
# cannot be read (held without sharing beyond the 15 s wait) with 7, not as
# a refused signature; nothing is started.

start_server
rm -f "$logfile"
rm -f "$work/root/brisklane-pathwick.exe"
run_silent download 5
check "the download failure logged" log_has "silent: the download failed"
serve untrusted
run_silent verification 6
check "the refusal logged" log_has "VerifyInstaller: refused: untrusted chain"
check "the installer never started" test ! -e "$PW_STANDIN_INSTALLER_LOG"
check "no downloaded file left" test ! -e "$datadir/corvane-download.exe"
check "the product was not started" test ! -e "$PW_PATHWICK_RECORD"
# Served slowly, so that the scanner holds the file before the download ends.
serve good
kill "$(cat "$work/e2e.pid")"; wait_for 10 sh -c "! kill -0 $(cat "$work/e2e.pid") 2>/dev/null"
rm -f "$work/e2e.port" "$work/held" "$work/release"
start_server --rate 80000
"$wine_run" "$build/tests/e2e/hold_file.exe" "Z:$datadir/corvane-download.exe" "Z:$work/held" "Z:$work/release" \
  >/dev/null 2>&1 &
local holder=$!
run_silent held 7
touch "$work/release"
check "the scanner held the file" [ -e "$work/held" ]
check "logged as unreadable, not refused" log_has "VerifyInstaller: not checked: cannot be read"
check "after waiting for it" log_has "corvane-download.exe is held by another program: waiting"
check "the held installer never started" test ! -e "$PW_STANDIN_INSTALLER_LOG"
wait "$holder"
