# A proxy script on a host that accepts and never answers costs about 10 s once: /S completes direct, and closing the window meanwhile ends at once.
#
# The prefix names only a configuration script (AutoConfigURL, no fixed
# proxy) on a host that takes the connection and never sends a byte. /S
# gives the script 10 s, logs that it had no answer, goes direct and
# installs; the download's own settle does not wait for the same script
# again. In the window, closing while the script is being resolved exits at
# once.

start_server
start_silent_host
set_proxy_script "http://127.0.0.1:$silent_host_port/proxy.pac"
rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
local t0=$SECONDS
run_silent stalled 0
echo "the silent run took $((SECONDS - t0)) s"
grep -a 'proxy script\|proxy for' "$logfile"
local waited; waited=$(grep -ao 'no answer within [0-9]* ms' "$logfile" | grep -o '[0-9][0-9]*' | head -1)
check "the script had no answer within its limit (${waited:-none} ms)" [ "${waited:-99999}" -le 11000 ]
check "it was waited for once ($(log_count 'no answer within'))" [ "$(log_count 'no answer within')" = 1 ]
check "the download's settle did not wait again" log_has "not asked again yet"
check "the download went direct" log_has "proxy for https://localhost:$port: none"
check "installed" test -f "$progfiles/Brisklane/Brisklane Pathwick/Pathwick.exe"

rm -f "$logfile"
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
click "$w" $install_x $install_y
sleep 1
click "$w" $close_x $close_y
expect_box 01-close-question "Close asks" "Installation is in progress. Are you sure you want to quit?" || return
check "the script is still being resolved" sh -c "! grep -aqF 'no answer within' '$logfile'"
local t1=$SECONDS
check "Yes answers the question" press_box_button "$box" "&Yes"
check "the window goes" wait_app_exit 20
# A close takes about 4 s under Wine here; one that waited for the script
# would take the rest of its 10 s on top.
check "without waiting for the script ($((SECONDS - t1)) s)" [ $((SECONDS - t1)) -le 8 ]
