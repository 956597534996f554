# A download server that answers 407 itself gets no sign-in: no dialog, no credential header, the network-failure box.
#
# No proxy is set: the server, reached directly, answers every request for
# the installer with 407 and a challenge whose realm asks for the Windows
# password (Basic, and NTLM for the user's own sign-in). The window asks
# nothing and offers nothing: the failure box comes, and the server saw no
# Authorization or Proxy-Authorization header. (Through squid, a real proxy,
# the dialog still asks: proxy_sign_in.)

start_server --faults 'status=407'
rm -f "$logfile"
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
click "$w" $install_x $install_y
expect_box 01-network-error "the network-failure box" "Network error. Please check your network settings.\n\nClick Abort to cancel installation, Retry to try again, or Ignore to download via browser." || return
no_dialog() { ! xdotool search --onlyvisible --name "^Sign in to the proxy server\$" >/dev/null 2>&1; }
check "no sign-in dialog" no_dialog
check "no sign-in asked" sh -c "! grep -aqF 'proxy sign-in: asking' '$logfile'"
local seen; seen=$(curl -s "http://127.0.0.1:$port/requests" | grep '"path": "/files/brisklane-pathwick.exe"')
check "the server was asked ($(grep -c . <<<"$seen") requests)" [ -n "$seen" ]
echo "auth headers seen:"; grep -o '"auth": [^,]*' <<<"$seen" | sort | uniq -c
no_auth() { ! grep -q '"auth": "' <<<"$seen"; }
check "no credential header reached it" no_auth
check "Abort pressed" press_box_button "$box" "&Abort"
check "Abort closes the window" wait_app_exit 15
