# A folder whose parent is gone is refused with the red tip, and nothing is downloaded.
#
# An invalid folder: the folder field names a folder whose parent is gone by
# the time Install is clicked. The field is read-only (it opens the folder
# dialog), so the prefix's Program Files folder is pointed for this case at a
# folder below a link; the installer fills the field with it at start-up, and
# the link is removed before the click. Install then shows the red tip, opens
# the folder area and downloads nothing.

# No server: nothing may reach the network, which the log shows.
mkdir -p "$work/pf/Program Files"
rm -f "$WINEPREFIX/drive_c/pw-e2e-pf"
ln -s "$work/pf" "$WINEPREFIX/drive_c/pw-e2e-pf"
trap 'restore_program_files; cleanup' EXIT
"$wine_run" reg add "$pf_key" /v ProgramFilesDir /d 'C:\pw-e2e-pf\Program Files' /f >/dev/null 2>&1 ||
  { fail "Program Files folder redirected"; return; }
logfile="$work/pf/Program Files/corvane_down/PathwickSetup/Log/corvane_down.log"
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
check "data folder below the redirected Program Files" wait_for 10 log_has "LoadResZipFile"
shot 01-home "$w"
rm -f "$WINEPREFIX/drive_c/pw-e2e-pf"
check "folder area closed before Install" [ -z "$(xdotool getwindowgeometry "$w" | grep 'Geometry: 650x435')" ]
click "$w" $install_x $install_y
check "Install read the folder" wait_for 10 log_has 'sel path:C:\pw-e2e-pf\Program Files\'
check "folder area opened" wait_for 10 sh -c "xdotool getwindowgeometry $w | grep -q 'Geometry: 650x435'"
sleep 1
shot 02-invalid-folder "$w"
check "folder refused" sh -c "! grep -aqF 'sel path end' '$logfile'"
check "page stays on the home page" sh -c "! grep -aqF 'kWindow_Downloading' '$logfile'"
# The red tip: pure red text pixels in the folder area.
local red; red=$(red_tip_pixels "$shots/02-invalid-folder.png")
check "red tip shown (${red:-0} red pixels)" awk -v n="${red:-0}" 'BEGIN { exit !(n > 20) }'
sleep 2
check "no size probe, no download" sh -c "! grep -aqE 'get file size begin|HttpDownload' '$logfile'"
restore_program_files
