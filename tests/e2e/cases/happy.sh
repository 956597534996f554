# One whole installation with the mouse: five ranges, the installer's command line, the pages, both events, Start Now.

# The installing page is shot while the stand-in works.
export PW_STANDIN_INSTALL_MS=2000
start_server --rate 80000
rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
pass "main window shown"
sleep 1
shot 01-home "$w"
check "the TLS stack loaded while the home page shows" wait_for 10 log_has "secure channel loaded: yes"
click "$w" $install_x $install_y
check "download page entered" wait_for 10 log_has "UpdateWindowSate:kWindow_Downloading"
sleep 1.5
shot 02-downloading "$w"
check "download ended with success" wait_for 60 log_has "HttpDownloadEnd$(printf '\xa3\xba')Success"
# The signature check runs between the end of the download and this state.
check "installing state" wait_for 10 log_has "UpdateWindowSate:kWindow_Installing"
local ranges
ranges=$(curl -s "http://127.0.0.1:$port/requests" | grep "\"path\": \"/files/brisklane-pathwick.exe\"" |
         grep -o '"range": "bytes=[0-9-]*"' | sort -u | wc -l)
check "five byte ranges ($ranges)" [ "$ranges" = 5 ]
sleep 0.5
shot 03-installing "$w"
check "finish state" wait_for 60 log_has "UpdateWindowSate:kWindow_Finish"
sleep 0.5
shot 04-finish "$w"
local want=' /verysilent /corvane_down /wait_run /path="C:\Program Files\\"'
check "installer command line" grep -aqF -- "cmdline=$want" "$work/installer.log"
check "post-installation page opened" wait_for 10 grep -sqF "producturl?key=installed&pid=380&lang=English" "$PW_BROWSER_RECORD"
# The page opens about one second after the finish page: compare the log
# record's time with the moment the browser stand-in wrote its record.
local finish_ts delay
finish_ts=$(grep -a "InstallExeFinish" "$logfile" | tail -1 | awk '{print $1 " " $2}' | tr , .)
delay=$(awk -v a="$(date -d "$finish_ts" +%s.%N)" -v b="$(date -r "$PW_BROWSER_RECORD" +%s.%N)" \
            'BEGIN { printf "%.2f", b - a }')
check "post-installation page opened about 1 s after the finish ($delay s)" \
      awk -v d="$delay" 'BEGIN { exit !(d >= 0.9 && d <= 5) }'
local domain="$progfiles/Brisklane/Brisklane Pathwick/domain"
check "domain file holds com_english" [ "$(cat "$domain" 2>/dev/null)" = "com_english" ]
check "downloaded installer removed" wait_for 5 test ! -e "$datadir/corvane-download.exe"
local hits; hits=$(curl -s "http://127.0.0.1:$port/hits")
check "analytics event 1" grep -q "Downloader_Start_Install" <<<"$hits"
check "analytics event 2" grep -q "Downloader_Installed" <<<"$hits"
click "$w" $install_x $install_y
check "window closed after Start Now" wait_app_exit 20
check "exit code 0 ($app_rc)" [ "$app_rc" = 0 ]
check "stand-in product started" wait_for 15 grep -q "^start " "$started_record"
check "not elevated: a user could have replaced it" log_has "RunProgram: not elevated, a non-administrator could have replaced the program: C:\Program Files\Brisklane\Brisklane Pathwick\Pathwick.exe: owned by S-1-5-21-"
