# The window follows the display scale at 120, 144 and 192 DPI and is drawn at its scale, not stretched.

# Display scales. LogPixels of the prefix's desktop is the DPI the installer
# sees (it declares itself DPI aware); the case puts it back to 96 at the
# end, whatever happens. At 120, 144 and 192 DPI the window is 650 x 360
# times the scale, within a pixel. At 96 and 144 DPI it runs a whole
# installation and keeps a screenshot of every page, and of the home page in
# German and Japanese. The scaled home page must be drawn at its scale, not
# stretched: it has hard edges (neighbouring pixels that differ by 40 % of
# full brightness or more) where the 96-DPI page stretched to 150 % as the
# system would stretch it (bilinear) has almost none.
set_dpi() { "$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
scaled() { echo $((($1 * $2 + 48) / 96)); }   # scaled LENGTH DPI
window_size() { xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*x[0-9]*\).*/\1/p'; }
size_is() { [ "$(window_size "$1")" = "$2" ]; }   # size_is WINDOW WxH
size_within_a_pixel() { # size_within_a_pixel WxH W H
  local w=${1%x*} h=${1#*x}
  [ $((w - $2)) -ge -1 ] && [ $((w - $2)) -le 1 ] && [ $((h - $3)) -ge -1 ] && [ $((h - $3)) -le 1 ]
}
hard_edges() { # hard_edges PNG [RESIZE%] -> share of pixels 40 % brighter or darker than their left neighbour
  convert "$1" +repage ${2:+-filter Triangle -resize "$2"} -colorspace Gray \( +clone -roll +1+0 \) \
    -compose Difference -composite -threshold 40% -format '%[fx:mean]' info: 2>/dev/null
}
scale_run() { # scale_run DPI: the whole installation at that scale, a shot of each page
  local dpi=$1 w size
  rm -rf "$progfiles/Brisklane"
  rm -f "$logfile"
  start_app
  w=$(find_main_window 60) || { fail "main window shown at $dpi DPI"; return; }
  sleep 1.5
  size=$(window_size "$w")
  check "window at $dpi DPI is $size" [ "$size" = "$(scaled 650 "$dpi")x$(scaled 360 "$dpi")" ]
  shot "home-$dpi" "$w"
  click "$w" "$(scaled $fold_x "$dpi")" "$(scaled $fold_y "$dpi")"
  local open_size; open_size="$(scaled 650 "$dpi")x$(($(scaled 360 "$dpi") + $(scaled 75 "$dpi")))"
  check "folder area opens at $dpi DPI ($open_size)" wait_for 10 size_is "$w" "$open_size"
  sleep 0.5
  shot "folder-$dpi" "$w"
  click "$w" "$(scaled $fold_x "$dpi")" "$(scaled $fold_y "$dpi")"
  check "folder area closes at $dpi DPI" wait_for 10 size_is "$w" "$size"
  click "$w" "$(scaled $install_x "$dpi")" "$(scaled $install_y "$dpi")"
  check "download page entered at $dpi DPI" wait_for 10 log_has "UpdateWindowSate:kWindow_Downloading"
  sleep 1.5
  shot "download-$dpi" "$w"
  check "finish state at $dpi DPI" wait_for 90 log_has "UpdateWindowSate:kWindow_Finish"
  sleep 0.5
  shot "finish-$dpi" "$w"
  stop_app
}

trap 'set_dpi 96; cleanup' EXIT
start_server --rate 400000
local dpi lang w size
for dpi in 120 192; do
  set_dpi "$dpi" || { fail "LogPixels set to $dpi"; continue; }
  main_width=$(scaled 650 "$dpi")
  start_app
  w=$(find_main_window 60) || { fail "main window shown at $dpi DPI"; stop_app; continue; }
  size=$(window_size "$w")
  check "window at $dpi DPI is $size: $(scaled 650 "$dpi")x$(scaled 360 "$dpi") within a pixel" \
    size_within_a_pixel "$size" "$(scaled 650 "$dpi")" "$(scaled 360 "$dpi")"
  sleep 1
  shot "home-$dpi" "$w"
  stop_app
done
for dpi in 96 144; do
  set_dpi "$dpi" || { fail "LogPixels set to $dpi"; continue; }
  main_width=$(scaled 650 "$dpi")
  for lang in de_DE ja_JP; do
    # The window's title is the package's: in Japanese the product name
    # and a word that xdotool's name search does not match.
    title="Brisklane Pathwick Setup"
    [ "$lang" = ja_JP ] && title="Brisklane Pathwick .*"
    rm -f "$logfile"
    LANG=$lang.UTF-8 LC_ALL=$lang.UTF-8 start_app
    w=$(find_main_window 60) || { fail "main window shown ($lang, $dpi DPI)"; stop_app; continue; }
    sleep 1.5
    shot "home-$lang-$dpi" "$w"
    check "$lang chosen at $dpi DPI" log_has "Language Code:$([ "$lang" = ja_JP ] && echo 1041 || echo 1031)"
    stop_app
  done
  title="Brisklane Pathwick Setup"
  scale_run "$dpi"
done
set_dpi 96
local crisp stretched
crisp=$(hard_edges "$shots/home-144.png"); stretched=$(hard_edges "$shots/home-96.png" 150%)
sharper() { awk -v a="${crisp:-0}" -v b="${stretched:-1}" 'BEGIN { exit !(a > 3 * b && a > 0.001) }'; }
check "home page at 144 DPI drawn at its scale: hard edges $crisp, stretched from 96 DPI $stretched" sharper
