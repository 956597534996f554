# /S exits 5 for a failed download and 6 for a refused payload, and starts nothing.
#
# /S with a download that fails (the server has no installer) exits with 5,
# with a payload that fails its signature check with 6; nothing is started.

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
