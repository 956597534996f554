# The keyboard alone goes round every page in visual order, shows the focus ring and installs.
#
# The keyboard alone, without a click: Tab and Shift+Tab go round every page
# in visual order and wrap (a reader hears each focus), the focused control
# shows the ring (not before a key was used), Space ticks the licence box and
# opens the folder area, Tab reaches the folder field without opening the
# folder dialog, Enter on the link opens the licence page, Enter on Install
# installs and Enter on Start Now starts the product.

start_server --rate 20000
rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
press() { local k; for k in "$@"; do key_to "$w" "$w" "$k"; done; }
check "the probe listens to the installer" acc_listen "$work/events.txt"
check "Install has the focus at start" acc_shows "push button" "Install" focused
shot 00-before-keys "$w"
local none; none=$(ring_pixels "$shots/00-before-keys.png" 650x360+0+0)
check "no focus ring before the keyboard is used (${none:-?} ring pixels)" [ "${none:-1}" = 0 ]
local from; from=$(lines_of "$work/events.txt")
press Tab
shot 01-ring-licence-box "$w"
press Tab Tab
shot 02-ring-customize "$w"
press Tab Tab Tab
local box="check box:$licence" link="link:$licence" custom="check box:Customize Installation"
local trail; trail=$(focus_trail "$work/events.txt" $((from + 1)))
check "Tab goes round the home page in visual order ($trail)" \
      [ "$trail" = "$box > $link > $custom > push button:Minimize > push button:Close > push button:Install" ]
local ring
ring=$(ring_pixels "$shots/01-ring-licence-box.png" 26x26+15+323)
check "the ring around the licence box (${ring:-0} pixels)" [ "${ring:-0}" -ge 40 ]
ring=$(ring_pixels "$shots/02-ring-customize.png" 212x42+423+315)
check "the ring around Customize (${ring:-0} pixels)" [ "${ring:-0}" -ge 300 ]
from=$(lines_of "$work/events.txt")
press shift+Tab Tab
trail=$(focus_trail "$work/events.txt" $((from + 1)))
check "Shift+Tab goes back, Tab forward again ($trail)" [ "$trail" = "push button:Close > push button:Install" ]
press Tab space
check "Space unticks the licence box: Install unavailable" wait_for 5 acc_state "push button" "Install" has unavailable
press space
check "Space ticks it again: Install available" wait_for 5 acc_state "push button" "Install" lacks unavailable
press Tab Return
check "Enter on the link opens the licence page" wait_for 10 grep -sqF "producturl?key=license_agreement" "$PW_BROWSER_RECORD"
press Tab space
check "Space on Customize opens the folder area" wait_for 5 folder_area_open "$w"
press Tab
check "Tab reaches the folder field" wait_for 5 acc_shows "editable text" "Installation Path" focused
sleep 1
check "the folder dialog stays closed" no_folder_dialog
press Return
check "Enter in the field opens the folder dialog" wait_for 10 folder_dialog_open
local d; d=$(xdotool search --onlyvisible --name "^$dialog_title\$" 2>/dev/null | head -1)
[ -n "$d" ] && key_to "$d" "$d" Escape
check "Escape closes the dialog" wait_for 10 no_folder_dialog
check "then Browse has the focus" wait_for 5 acc_shows "push button" "Browse" focused
shot 03-ring-browse "$w"
press shift+Tab
check "Shift+Tab back to the field" wait_for 5 acc_shows "editable text" "Installation Path" focused
sleep 1
check "the folder dialog stays closed" no_folder_dialog
press shift+Tab space
check "Shift+Tab back to Customize, Space closes the folder area" wait_for 5 sh -c "! xdotool getwindowgeometry $w | grep -q 'Geometry: 650x435'"
press shift+Tab shift+Tab shift+Tab
check "back on Install" acc_shows "push button" "Install" focused
from=$(lines_of "$work/events.txt")
press Return
check "Enter on Install: download page" wait_for 10 log_has "UpdateWindowSate:kWindow_Downloading"
check "Hide has the focus on the download page" wait_for 10 acc_shows "push button" "Hide" focused
press Tab Tab Tab
trail=$(focus_trail "$work/events.txt" $((from + 1)))
check "Tab goes round the download page ($trail)" \
      [ "$trail" = "push button:Hide > push button:Minimize > push button:Close > push button:Hide" ]
check "finish state" wait_for 90 log_has "UpdateWindowSate:kWindow_Finish"
check "Start Now has the focus on the finish page" wait_for 10 acc_shows "push button" "Start${nbsp}Now" focused
from=$(lines_of "$work/events.txt")
press Tab Tab Tab
trail=$(focus_trail "$work/events.txt" $((from + 1)))
check "Tab goes round the finish page ($trail)" \
      [ "$trail" = "push button:Minimize > push button:Close > push button:Start${nbsp}Now" ]
shot 04-finish "$w"
press Return
check "Enter on Start Now closes the window" wait_app_exit 20
check "exit code 0 ($app_rc)" [ "$app_rc" = 0 ]
check "the product started" wait_for 15 grep -q "^start " "$started_record"
