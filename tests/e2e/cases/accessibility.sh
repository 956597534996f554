# A screen reader reads and drives the home and download pages and hears their changes.
#
# A screen reader's view: the home and the download page list the controls a
# user needs with their roles, names, states and places; the licence box
# ticked through its default action makes Install unavailable; the progress
# bar's value moves and the speed line appears under it; the reader hears
# the changes; Close through its default action asks, as a click does. (The
# finish page is read in the keyboard case.) A 6 MiB download at 40 kB/s
# per range reports progress every 100 kB and lasts half a minute: the
# reader, slower on a busy machine, closes the window long before its end
# (the padded copy would be refused then).

start_server --rate 40000
truncate -s 6M "$work/root/brisklane-pathwick.exe"
rm -f "$logfile"
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
check "the probe listens to the installer" acc_listen "$work/events.txt"
acc_tree >"$work/home-tree.txt"
check "home page: Install, a focused push button" acc_shows "push button" "Install" focused focusable
check "home page: the licence check box, checked" acc_shows "check box" "$licence" checked focusable
check "home page: the licence link" acc_shows "link" "$licence" linked
check "home page: Customize, a check box" acc_shows "check box" "Customize Installation" focusable
check "home page: Minimize" acc_shows "push button" "Minimize" focusable
check "home page: Close" acc_shows "push button" "Close" focusable
check "home page: the logo, a graphic" acc_shows "graphic" "Brisklane Pathwick"
check "home page: Start Now listed, not shown" acc_state "push button" "Start${nbsp}Now" has invisible
check "the licence box unticked by its default action" acc_do "$licence" "check box"
check "Install becomes unavailable" wait_for 10 acc_state "push button" "Install" has unavailable
check "the box reads unchecked" acc_state "check box" "$licence" lacks checked
check "ticked again by its default action" acc_do "$licence" "check box"
check "Install is available again" wait_for 10 acc_state "push button" "Install" lacks unavailable
click "$w" $install_x $install_y
check "download page entered" wait_for 10 log_has "UpdateWindowSate:kWindow_Downloading"
check "download page: the progress bar" wait_for 10 acc_shows "progress bar" "Installing..."
check "download page: Hide, focused" wait_for 10 acc_shows "push button" "Hide" focused
check "download page: Minimize" acc_shows "push button" "Minimize"
check "download page: Close" acc_shows "push button" "Close"
check "download page: the first banner's headline, read as text" acc_shows "static text" "Plan every route with ease"
check "download page: Install not shown" acc_state "push button" "Install" has invisible
local first; first=$(acc_value "progress bar" "Installing...")
value_moved() { local v; v=$(acc_value "progress bar" "Installing..."); [ -n "$v" ] && [ "$v" != "$first" ]; }
check "the progress value changes (first ${first:-none})" wait_for 30 value_moved
echo "progress value now: $(acc_value "progress bar" "Installing...")"
check "the speed line under the bar" wait_for 20 speed_shown
shot 01-speed-line "$w"
echo "speed line: $(acc_tree | awk -F'\t' '$2 == "static text" && $5 ~ / MB of / { print $5 }')"
check "Close pressed by its default action" acc_do "Close" "push button"
expect_box 02-close-question "Close asks, as a click does" \
           "Installation is in progress. Are you sure you want to quit?" || return
check "Yes answers the question" press_box_button "$box" "&Yes"
check "the window closes" wait_app_exit 45
check "exit code 0 ($app_rc)" [ "$app_rc" = 0 ]
check "the probe heard everything until the window went" acc_heard_all
tr -d '\r' <"$work/events.txt" >"$work/events-clean.txt"
heard() { grep -qP "$1" "$work/events-clean.txt"; }
check "heard: the check box's state" heard "^state\tcheck box\t[^\t]*\t$licence"
check "heard: Install unavailable" heard "^state\tpush button\t[^\t]*unavailable[^\t]*\tInstall\t"
check "heard: the progress value" heard "^value\tprogress bar\t[^\t]*\tInstalling\.\.\.\t[1-9][0-9]* %"
check "heard: the percentage text" heard "^name\tstatic text\t[^\t]*\t[1-9][0-9]* %"
check "heard: the speed line" heard "^name\tstatic text\t[^\t]*\t[0-9.]+ MB of "
check "heard: the page change shows the bar" heard "^show\tprogress bar\t"
check "heard: the page change hides Install" heard "^hide\tpush button\t[^\t]*invisible[^\t]*\tInstall\t"
check "heard: the focus on Hide" heard "^focus\tpush button\t[^\t]*\tHide\t"
