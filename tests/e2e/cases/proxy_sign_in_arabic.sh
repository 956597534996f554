# In Arabic the proxy sign-in dialog is mirrored: its texts stand right and OK right of Cancel, Tab still goes user name, password, OK, Cancel, a reader finds it so, and the typed sign-in carries the installation.
#
# The right-to-left variant, run with the Arabic UI language, goes through
# squid's signing-in port. Install brings the dialog: its title is drawn
# from the right edge, a reader finds OK right of Cancel and the focused user
# name field; Tab goes round the four stops and back to the user name (a
# reader hears each focus); the typed user name stands at the right of its
# field; Enter sends the sign-in and the installation completes.

exe="$build/tests/e2e/rtl/PathwickSetup.exe"
start_server
rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
set_fixed_proxy "$(squid_at "$(squid_port)")"
LANG=ar_SA.UTF-8 LC_ALL=ar_SA.UTF-8 start_app
local w d
install_until_sign_in || return
shot 01-sign-in "$d"
check "Arabic language chosen" log_has "Language Code:1025"
# The title row spans x 24 to 376 from y 14; its text is narrower.
local left right
left=$(ink_pixels "$shots/01-sign-in.png" 100x28+24+14); right=$(ink_pixels "$shots/01-sign-in.png" 100x28+276+14)
title_at_the_right() { [ "${right:-0}" -gt 100 ] && [ "${left:-0}" -lt 10 ]; }
check "the title stands right ($left / $right ink pixels left / right)" title_at_the_right
local ok cancel
ok=$(reader_on_dialog acc_place "push button" "OK"); cancel=$(reader_on_dialog acc_place "push button" "Cancel")
ok_right_of_cancel() { [ -n "$ok" ] && [ -n "$cancel" ] && [ "${ok%% *}" -gt "${cancel%% *}" ]; }
check "a reader finds OK right of Cancel (${ok:-none} / ${cancel:-none})" ok_right_of_cancel
check "the user name field has the focus" reader_on_dialog acc_shows "editable text" "User name" focused
check "a reader listens to the dialog" reader_on_dialog acc_listen "$work/events.txt"
focused_is() { reader_on_dialog acc_shows "$1" "$2" focused; }
local stop
for stop in "editable text:Password" "push button:OK" "push button:Cancel" "editable text:User name"; do
  key_to "$d" "$d" Tab
  check "Tab reaches ${stop#*:}" wait_for 5 focused_is "${stop%%:*}" "${stop#*:}"
done
shot 02-focus-back "$d"
local round="editable text:Password > push button:OK > push button:Cancel > editable text:User name"
heard_round() { [[ "$(focus_trail "$work/events.txt")" == *"$round" ]]; }
check "a reader heard the focus go round" wait_for 5 heard_round
type_to "$d" "$proxy_user"
sleep 0.5
shot 03-typed "$d"
# The field writes from its right edge: the typed name's ink is in its
# right third, none in its left third.
local ux uy uw uh
read -r ux uy uw uh <<<"$(reader_on_dialog acc_place "editable text" "User name")"
left=$(ink_pixels "$shots/03-typed.png" "$((uw / 3))x$((uh - 10))+$((ux + 5))+$((uy + 5))")
right=$(ink_pixels "$shots/03-typed.png" "$((uw / 3))x$((uh - 10))+$((ux + uw - uw / 3 - 5))+$((uy + 5))")
name_at_the_right() { [ "${right:-0}" -gt 30 ] && [ "${left:-0}" -lt 5 ]; }
check "the typed user name stands right in its field ($left / $right ink pixels left / right)" name_at_the_right
key_to "$d" "$d" Tab
type_to "$d" "$proxy_password"
key_to "$d" "$d" Return
check "Enter closes the dialog" wait_for 10 no_sign_in
check "finish state" wait_for 120 log_has "UpdateWindowSate:kWindow_Finish"
check "asked once ($(log_count 'proxy sign-in: asking'))" [ "$(log_count 'proxy sign-in: asking')" = 1 ]
check "a reader closes the finish page (Close stands left)" acc_do "Close" "push button"
check "closing after the finish asks nothing" wait_app_exit 20
