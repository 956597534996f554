# /S installs into a folder with a blank, maps no window, starts nothing and logs every decision.
#
# /S /LOG=... /D=<folder with a blank>: installed there, no window ever
# mapped, the product not started, no page opened, both events sent; the log
# file named on the line tells the administrator what happened.

start_server
local dir="$WINEPREFIX/drive_c/pw silent"
rm -rf "$dir" "$WINEPREFIX/drive_c/pw-logs" "$progfiles/Brisklane"
rm -f "$logfile"
logfile="$WINEPREFIX/drive_c/pw-logs/setup.log"
run_silent install 0 '/LOG=C:\pw-logs\setup.log' '/D=C:\pw' 'silent\'
check "product installed in the folder with a blank" test -f "$dir/Brisklane/Brisklane Pathwick/Pathwick.exe"
check "domain file written" [ "$(cat "$dir/Brisklane/Brisklane Pathwick/domain" 2>/dev/null)" = "com_english" ]
check "installer command line" grep -aqF -- 'cmdline= /verysilent /corvane_down /wait_run /path="C:\pw silent\\"' "$work/installer.log"
check "log: the command line" log_has '/S /LOG=C:\pw-logs\setup.log /D=C:\pw silent\'
check "log: the install root" log_has 'silent: install root C:\pw silent\'
check "log: the space decision" log_has "MB free, enough"
check "log: the verdict" log_has "VerifyInstaller: accepted"
check "log: the installer's exit code" log_has "ended with exit code 0"
check "the default log stays unwritten" test ! -e "$datadir/Log/corvane_down.log"
check "downloaded installer removed" test ! -e "$datadir/corvane-download.exe"
sleep 2
check "the product was not started" test ! -e "$PW_PATHWICK_RECORD"
check "no page was opened" test ! -e "$PW_BROWSER_RECORD"
local hits; hits=$(curl -s "http://127.0.0.1:$port/hits")
check "analytics event 1" grep -q "Downloader_Start_Install" <<<"$hits"
check "analytics event 2" grep -q "Downloader_Installed" <<<"$hits"
