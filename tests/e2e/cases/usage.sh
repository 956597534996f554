# /? and a wrong switch show the usage box (exit 0 and 2); with /S a wrong switch shows nothing.

# /? shows the usage box (the map watch sees it: the watch works), a wrong
# switch shows it too and ends with 2; with /S the same line shows nothing.
usage_text="Brisklane Pathwick Setup options:\n\n/S – install silently: no window and no questions; the exit code tells the outcome.\n/D=folder – installation folder; last on the line, without quotes.\n/LANG=code – language, for example 1031.\n/LOG=file – write the log to this file.\n/NOANALYTICS – send no usage statistics.\n/? or /HELP – show this help."

rm -f "$logfile"
watch_windows help
start_app /?
expect_box 01-usage "usage box" "$usage_text" || return
check "the map watch saw the box" [ "$(mapped_count)" -ge 1 ]
check "OK pressed" press_box_button "$box" "OK"
check "exit code 0 after /?" exits_with 0 15
stop_watch
check "no main window was shown" sh -c "! grep -aqF 'UpdateWindowSate' '$logfile'"
start_app -Bogus
expect_box 02-refused "usage box for a wrong switch" "$usage_text" || return
check "OK pressed" press_box_button "$box" "OK"
check "exit code 2 after a wrong switch" exits_with 2 15
check "the refused switch logged" log_has "command line refused at: -Bogus"
run_silent refused-silent 2 /LANG=german
check "refused silently, nothing installed" sh -c "! grep -aqF 'silent: install root' '$logfile'"
