# /S while the product runs exits 8 and leaves the product running.
#
# /S while the product runs exits with 8 and leaves it running.

start_server
rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
start_product || { fail "stand-in product started"; return; }
# Its window maps after it recorded the start; the watch begins after that.
wait_for 15 sh -c "xdotool search --onlyvisible --name '^Pathwick\$' >/dev/null" ||
  { fail "stand-in product's window shown"; return; }
run_silent product-running 8
check "the running product logged" log_has "Pathwick.exe is running"
check "the product keeps running" kill -0 "$product_pid"
check "nothing installed" test ! -e "$progfiles/Brisklane/Brisklane Pathwick/domain"
check "the installer never started" test ! -e "$PW_STANDIN_INSTALLER_LOG"
