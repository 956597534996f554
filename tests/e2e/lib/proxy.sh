# The user's proxy settings in the prefix (HKCU Internet Settings) and the
# squid fixture (pw_squid, tests/net/CMakeLists.txt). A case that sets a
# proxy has it removed when it ends (cleanup in case.sh), so that other cases
# in the same prefix go direct.

proxy_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
squid_state="$build/tests/net/server"
squid_log="$squid_state/squid.d/access.log"
# As tests/net/CMakeLists.txt starts squid.
proxy_user=pathwick
proxy_password=Proxy-Pass-7
proxy_set=""

# The proxy is named by its address, the server by "localhost": Wine's
# WinHTTP takes a proxy with the same name as the server for no proxy at all.
squid_port() { cat "$squid_state/squid.port"; }        # asks for the sign-in
squid_open_port() { cat "$squid_state/squid.open.port"; }
squid_at() { echo "127.0.0.1:$1"; }                     # squid_at PORT -> the proxy as the settings name it
squid_mark() { wc -l <"$squid_log"; }                   # squid_mark -> lines so far
squid_since() { tail -n +$(($1 + 1)) "$squid_log"; }    # squid_since MARK -> the lines after it

proxy_reg() { "$wine_run" reg "$@" >/dev/null 2>&1; }
set_fixed_proxy() { # set_fixed_proxy HOST:PORT
  proxy_set=1
  proxy_reg add "$proxy_key" /v ProxyEnable /t REG_DWORD /d 1 /f
  proxy_reg add "$proxy_key" /v ProxyServer /d "$1" /f
}
set_proxy_script() { # set_proxy_script URL: the configuration script alone, no fixed proxy
  proxy_set=1
  proxy_reg add "$proxy_key" /v ProxyEnable /t REG_DWORD /d 0 /f
  proxy_reg add "$proxy_key" /v AutoConfigURL /d "$1" /f
}
serve_proxy_script() { # serve_proxy_script "PROXY host:port" -> sets the script URL served by the test server
  printf 'function FindProxyForURL(url, host) { return "%s"; }\n' "$1" >"$work/root/proxy.pac"
  set_proxy_script "http://localhost:$port/files/proxy.pac"
}
clear_proxy() {
  proxy_reg add "$proxy_key" /v ProxyEnable /t REG_DWORD /d 0 /f
  proxy_reg delete "$proxy_key" /v ProxyServer /f
  proxy_reg delete "$proxy_key" /v ProxyOverride /f
  proxy_reg delete "$proxy_key" /v AutoConfigURL /f
  proxy_set=""
}

# The proxy sign-in dialog, modal over the main window.
sign_in_title="Sign in to the proxy server"
find_sign_in() { # find_sign_in TIMEOUT_S -> prints the dialog's id
  local deadline=$((SECONDS + $1)) d
  while :; do
    d=$(xdotool search --onlyvisible --name "^$sign_in_title\$" 2>/dev/null | head -1)
    [ -n "$d" ] && { echo "$d"; return 0; }
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.3
  done
}
no_sign_in() { ! find_sign_in 0 >/dev/null; }
# After start_app: waits for the main window, clicks Install and waits for
# the dialog; sets w (the window) and d (the dialog), false after a failed
# check.
install_until_sign_in() {
  w=$(find_main_window 60) || { fail "main window shown"; return 1; }
  sleep 1
  click "$w" $install_x $install_y
  d=$(find_sign_in 60) || { fail "Install brings the sign-in dialog"; return 1; }
  sleep 1
}
# Synthetic typing loses the Shift state under Wine: capitals are pressed
# as Shift+letter.
type_to() { # type_to WINDOW TEXT (letters, digits and "-")
  local keys=() c i
  for ((i = 0; i < ${#2}; i++)); do
    c=${2:i:1}
    case $c in
      [A-Z]) keys+=("shift+${c,,}") ;;
      -) keys+=(minus) ;;
      *) keys+=("$c") ;;
    esac
  done
  xdotool key --window "$1" --delay 50 "${keys[@]}" 2>/dev/null
  nudge "$1"
}
# The reader's helpers (reader.sh) read the window titled $title: the
# dialog's, here.
reader_on_dialog() { local title=$sign_in_title; "$@"; }
