# Retry after a failure halfway keeps the bytes: the rest only is sent (at most 0.6x the file), the bar never moves back and the speed line agrees with it.
#
# Once half the installer is sent the server cuts every answer and gives 500
# until its flag file goes: the ranges spend their budget and the failure
# box comes. The flag is removed, Retry pressed, and while the download goes
# on the bar's percentage and the speed line's megabytes are read once per
# half second (25 KB/s: five ranges of 5000 bytes a second).

start_server --rate 5000 --faults 'fail_after=320000&failafterstatus=500'
rm -f "$logfile"
local size; size=$(stat -c %s "$work/root/brisklane-pathwick.exe")
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
click "$w" $install_x $install_y
# Eleven attempts 2 s apart per range after the cut.
find_message_box 90 >/dev/null
expect_box 01-failure-box "the failure box after the budget" "Network error. Please check your network settings.\n\nClick Abort to cancel installation, Retry to try again, or Ignore to download via browser." || return
local before; before=$(body_bytes)
local kept; kept=$(stat -c %s "$datadir/corvane-download.exe" 2>/dev/null || echo 0)
check "the partial file is there at the box ($kept bytes)" [ "$kept" -gt 0 ]
rm -f "$work/root/fail_after.flag"
# "<percent> <done MB> <total MB>" per reading: the label beside the bar and
# the speed line, read together.
read_bar() {
  acc_tree | awk -F'\t' '$2 == "static text" && $3 !~ /invisible/ {
      if ($5 ~ /^[0-9]+ %$/) p = $5 + 0
      if ($5 ~ / MB of .* MB/) { split($5, m, " "); d = m[1]; t = m[4] } }
    END { if (p != "") print p, d, t }'
}
local readings="$work/readings.txt"
: >"$readings"
check "Retry pressed" press_box_button "$box" "&Retry"
local t_end=$((SECONDS + 180))
while [ $SECONDS -lt $t_end ] && ! log_has "HttpDownloadEnd$(printf '\xa3\xba')Success"; do
  read_bar >>"$readings"
  sleep 0.5
done
check "download ended with success" log_has "HttpDownloadEnd$(printf '\xa3\xba')Success"
check "the download resumed the kept bytes" log_has "resuming with "
local after; after=$(body_bytes)
check "after Retry the server sent at most 0.6x the file ($((after - before)) of $size bytes)" \
      awk -v s="$((after - before))" -v f="$size" 'BEGIN { exit !(s <= 0.6 * f) }'
echo "     readings (percent, MB done, MB total): $(tr '\n' ';' <"$readings")"
check "the bar was read after Retry ($(wc -l <"$readings") readings)" [ "$(wc -l <"$readings")" -ge 2 ]
check "the bar never moved back" awk '$1 < last { exit 1 } { last = $1 }' "$readings"
# The bar shows 90 % of the bytes done and follows every chunk; the speed
# line is redrawn once a second and rounds its megabytes down, so it may
# trail the bar by up to two seconds of download (25 KB/s: 8 points) but
# never lead it. A line counting from 0 MB after Retry trails it by about 45.
check "the speed line's megabytes agree with the bar" \
      awk '$3 > 0 { d = $2 / $3 * 90 - $1; if (d < -8 || d > 2) exit 1 }' "$readings"
check "finish state" wait_for 60 log_has "UpdateWindowSate:kWindow_Finish"
