# /S with a folder holding a quote exits 3 and never starts the installer.
#
# '/D=C:\x" /evil', passed on as it is, would close the installer's quoted
# /path early and add a switch of its own. The folder check refuses it
# before anything is downloaded or run; the server is there, so only the
# check can keep the installer from running.

start_server
rm -f "$logfile"
run_silent quote 3 '/D=C:\x" /evil'
check "the refusal names the quote" log_has "silent: the install root is refused: a double quote"
check "nothing downloaded" sh -c "! grep -aqF 'silent: downloading' '$logfile'"
check "the installer never started" test ! -e "$PW_STANDIN_INSTALLER_LOG"
