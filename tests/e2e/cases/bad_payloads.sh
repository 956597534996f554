# Every bad copy of the installer (flipped, unsigned, untrusted, other publisher, older version) is refused and never run; the good copy installs.

# The server hands out each bad copy of the installer in turn: the download
# succeeds, the signature check refuses the file (the box says so, the log
# names the reason), the stand-in never starts and the file is gone; Retry
# downloads again. With the good copy the installation then completes.
verify_failed_text="The downloaded installer could not be verified and was not run.\n\nClick Abort to cancel installation, Retry to try again, or Ignore to download via browser."

start_server
rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
local done; done="HttpDownloadEnd$(printf '\xa3\xba')Success"
local n=0 entry copy reason
for entry in "flipped:bad digest" "unsigned:no signature" "untrusted:untrusted chain" \
             "other-publisher:wrong publisher" "old-version:older than the lowest version"; do
  copy=${entry%%:*}; reason=${entry#*:}; n=$((n + 1))
  serve "$copy"
  if [ "$n" = 1 ]; then
    click "$w" $install_x $install_y
  else
    # The next box may follow at once: what Retry did is checked next.
    check "$copy: Retry pressed" press_button "$box" "&Retry"
  fi
  check "$copy: downloaded (download $n)" wait_for 60 sh -c "[ \$(grep -acF '$done' '$logfile') -ge $n ]"
  expect_box "0$n-$copy" "$copy: verify-failed box" "$verify_failed_text" || return
  check "$copy: refused for $reason" \
        sh -c "grep -a 'VerifyInstaller: refused' '$logfile' | sed -n ${n}p | grep -qF 'refused: $reason (error 0x'"
  check "$copy: the stand-in installer never started" test ! -e "$PW_STANDIN_INSTALLER_LOG"
  check "$copy: the downloaded file is gone" test ! -e "$datadir/corvane-download.exe"
done
check "never left the download page" sh -c "! grep -aqE 'kWindow_(Installing|Finish)' '$logfile'"
serve good
check "good copy: Retry pressed" press_button "$box" "&Retry"
check "good copy: accepted" wait_for 60 log_has "VerifyInstaller: accepted, signed by Brisklane Test Publisher"
check "good copy: finish state" wait_for 60 log_has "UpdateWindowSate:kWindow_Finish"
sleep 0.5
shot 05-finish "$w"
check "good copy: the product is installed" test -f "$progfiles/Brisklane/Brisklane Pathwick/Pathwick.exe"
check "good copy: the installer ran once" [ "$(grep -ac 'cmdline=' "$PW_STANDIN_INSTALLER_LOG")" = 1 ]
check "good copy: downloaded installer removed" wait_for 5 test ! -e "$datadir/corvane-download.exe"
