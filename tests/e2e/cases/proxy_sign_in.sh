# Through a proxy that asks for a sign-in, an installation asks once, takes the typed sign-in and completes; a wrong password asks again; Cancel shows the failure box; closing meanwhile does not hang.
#
# The prefix's user settings name squid's signing-in port. Install brings the
# sign-in dialog, modal over the window, with the proxy and its realm; a
# reader finds the focused user name field, the password field (whose value
# is only its length) and the buttons. The keys type the user name, Tab, the
# password and Enter; the installation completes without a second question,
# and squid's log has every request of the download with the user name. A
# second run types a wrong password: the dialog comes back saying that the
# sign-in was refused, Escape cancels it and the network-failure box asks.
# A third run closes the window (a reader's Close) while the dialog shows:
# the process exits at once.

start_server
rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
set_fixed_proxy "$(squid_at "$(squid_port)")"
buttons_read() { reader_on_dialog acc_shows "push button" "OK" focusable && reader_on_dialog acc_shows "push button" "Cancel" focusable; }
password_reads() { [ "$(reader_on_dialog acc_value "editable text" "Password")" = "$1" ]; }
local mark; mark=$(squid_mark)
start_app
local w d
install_until_sign_in || return
shot 01-sign-in "$d"
check "the dialog names the proxy and its realm" \
      reader_on_dialog acc_shows "static text" "$(squid_at "$(squid_port)") · Pathwick test proxy"
check "the user name field has the focus" reader_on_dialog acc_shows "editable text" "User name" focused
check "the password field" reader_on_dialog acc_shows "editable text" "Password" focusable
check "OK and Cancel" buttons_read
check "no refusal said on the first question" reader_on_dialog acc_state "static text" \
      "Sign-in refused. Please try again." has invisible
type_to "$d" "$proxy_user"
key_to "$d" "$d" Tab
type_to "$d" "$proxy_password"
local mask; mask=$(printf '%*s' ${#proxy_password} '' | tr ' ' '*')
check "a reader hears the password as $mask" wait_for 5 password_reads "$mask"
check "the password field is protected" reader_on_dialog acc_state "editable text" "Password" has protected
key_to "$d" "$d" Return
check "Enter closes the dialog" wait_for 10 no_sign_in
check "finish state" wait_for 120 log_has "UpdateWindowSate:kWindow_Finish"
check "asked once ($(log_count 'proxy sign-in: asking'))" [ "$(log_count 'proxy sign-in: asking')" = 1 ]
local ranges
ranges=$(curl -s "http://127.0.0.1:$port/requests" | grep "\"path\": \"/files/brisklane-pathwick.exe\"" |
         grep -o '"range": "bytes=[0-9-]*"' | sort -u | wc -l)
check "five byte ranges reached the server ($ranges)" [ "$ranges" = 5 ]
# squid logs each request it carried (WinHTTP's plain attempts) and each
# tunnel (CONNECT, WinINet's HTTPS): every one that got through is signed in.
local carried sizes signed_ranges unsigned
carried=$(squid_since "$mark" | grep "localhost:$port")
sizes=$(grep -cE "^(HEAD|GET) .* status=200 user=$proxy_user\$" <<<"$carried")
signed_ranges=$(grep -cE "^GET .* status=206 user=$proxy_user\$" <<<"$carried")
unsigned=$(grep -cE "status=20[06] user=-\$" <<<"$carried")
echo "squid carried:"; sed 's/^/  /' <<<"$carried"
check "squid carried the size query signed in ($sizes)" [ "$sizes" -ge 1 ]
check "squid carried the five ranges signed in ($signed_ranges)" [ "$signed_ranges" = 5 ]
check "nothing went through without the user name ($unsigned)" [ "$unsigned" = 0 ]
check "the password is not in the log" sh -c "! grep -aqF '$proxy_password' '$logfile'"
click "$w" $close_x $close_y
check "the finish page closes" wait_app_exit 20

# A wrong password, then Cancel.
rm -f "$logfile"
start_app
install_until_sign_in || return
type_to "$d" "$proxy_user"
key_to "$d" "$d" Tab
type_to "$d" "wrong-password"
key_to "$d" "$d" Return
check "asked a second time" wait_for 30 sh -c "[ \$(grep -acF 'proxy sign-in: asking, attempt 2' '$logfile') = 1 ]"
d=$(find_sign_in 10) || { fail "the dialog after the refusal"; return; }
sleep 1
shot 02-refused "$d"
check "the dialog says the sign-in was refused" reader_on_dialog acc_shows "static text" \
      "Sign-in refused. Please try again."
check "the user name field has the focus again" reader_on_dialog acc_shows "editable text" "User name" focused
key_to "$d" "$d" Escape
check "Escape closes the dialog" wait_for 10 no_sign_in
expect_box 03-network-error "Cancel: the network-failure box" "Network error. Please check your network settings.\n\nClick Abort to cancel installation, Retry to try again, or Ignore to download via browser." || return
check "Abort pressed" press_box_button "$box" "&Abort"
check "Abort closes the window" wait_app_exit 15

# The window closing while the dialog shows: no hang, no crash.
rm -f "$logfile"
start_app
install_until_sign_in || return
check "a reader presses Close on the window behind the dialog" acc_do "Close" "push button"
expect_box 04-close-question "Close asks" "Installation is in progress. Are you sure you want to quit?" || return
local t0=$SECONDS
check "Yes answers the question" press_box_button "$box" "&Yes"
check "the window and the dialog go" wait_app_exit 20
check "at once ($((SECONDS - t0)) s), not after the close's wait for the download" [ $((SECONDS - t0)) -le 10 ]
check "exit code 0 ($app_rc)" [ "$app_rc" = 0 ]
check "the question ended without an answer" log_has "proxy sign-in: no answer"
