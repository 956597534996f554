# The Arabic row builds the mirrored window: logo at the right, the bar filling from the right, mirrored places for a reader.
#
# Right to left: the variant whose package holds an "Arabic" row, run with the
# Arabic UI language, builds its window from the right-to-left layouts (the
# title bar's logo on the right) and fills the progress bar from the right:
# the bar's value is 100 - percent and its fore image covers the part not yet
# done, so the green background shows at the right end. A screen reader finds
# the mirrored places and the real percentage; the speed line shows.

exe="$build/tests/e2e/rtl/PathwickSetup.exe"
# Slow enough that the speed line shows for a few seconds after the first
# 100 kB of each range arrive.
start_server --rate 5000
rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
LANG=ar_SA.UTF-8 LC_ALL=ar_SA.UTF-8 start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1.5
shot 01-home "$w"
check "Arabic language chosen" log_has "Language Code:1025"
# main_rtl.xml puts the brand logo at the top right, the buttons at the left.
local left right
left=$(ink_pixels "$shots/01-home.png" 110x32+10+5); right=$(ink_pixels "$shots/01-home.png" 110x32+530+5)
logo_at_the_right() { [ "${right:-0}" -gt 500 ] && [ "${left:-0}" -lt 300 ]; }
check "right-to-left layout: logo at the top right ($left / $right ink pixels left / right)" logo_at_the_right
click "$w" $install_x $install_y
check "download page entered" wait_for 10 log_has "UpdateWindowSate:kWindow_Downloading"
local cols="" first last
for _ in $(seq 1 40); do
  sleep 0.5
  shot 02-downloading "$w"
  cols=$(green_columns "$shots/02-downloading.png" 318)
  [ -n "${cols// }" ] && break
done
read -r first last <<<"$cols"
# The bar spans columns 166 to 598.
fills_from_the_right() { [ "${last:-0}" -ge 590 ] && [ "${first:-0}" -gt 175 ]; }
check "progress fills from the right (green columns ${first:-none}-${last:-none})" fills_from_the_right
# A reader finds the mirrored places: Close at the left, Minimize right of
# it; the bar reads the percentage, not the mirrored value.
local close minimize
close=$(acc_place "push button" "Close"); minimize=$(acc_place "push button" "Minimize")
mirrored_title_buttons() { [ -n "$close" ] && [ -n "$minimize" ] && [ "${close%% *}" -lt 100 ] && [ "${close%% *}" -lt "${minimize%% *}" ]; }
check "a reader finds Close at the left, Minimize beside it (${close:-none} / ${minimize:-none})" mirrored_title_buttons
# The bar's value and the percentage label, from one reading of the tree.
bar_reads_the_label() {
  acc_tree | awk -F'\t' '$2 == "progress bar" && $3 !~ /invisible/ { v = $6 }
                         $2 == "static text" && $5 ~ /^[0-9]+ %$/ { l = $5 }
                         END { print "(" v " / " l ")" > "/dev/stderr"; exit !(v != "" && v == l) }'
}
check "the bar reads the percentage the label shows, not 100 - percent" wait_for 5 bar_reads_the_label
check "the speed line under the bar" wait_for 20 speed_shown
shot 02-speed-line "$w"
check "finish state" wait_for 90 log_has "UpdateWindowSate:kWindow_Finish"
sleep 0.5
shot 03-finish "$w"
