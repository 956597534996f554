# The folder dialog refuses My Computer and a new folder made in it becomes the install folder.
#
# A folder chosen (and made) through the folder dialog lands in the field,
# and the installation goes there. Before that, My Computer is refused.

chosen="$WINEPREFIX/drive_c/pwapps"
rm -rf "$chosen"
trap 'rm -rf "$chosen"; cleanup' EXIT
start_server
rm -f "$logfile"
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; return; }
sleep 1
check "My Computer chosen in the dialog" choose_my_computer "$w"
check "My Computer refused" wait_for 5 log_has "not a file-system folder"
sleep 1
shot 00-not-a-folder "$w"
local red; red=$(red_tip_pixels "$shots/00-not-a-folder.png")
check "red tip shown (${red:-0} red pixels)" awk -v n="${red:-0}" 'BEGIN { exit !(n > 20) }'
check "folder made and chosen in the dialog" choose_new_folder_on_c "$w" pwapps
sleep 1
shot 02-folder-chosen "$w"
click "$w" $install_x $install_y
check "Install takes the chosen folder" wait_for 10 log_has 'sel path:C:\pwapps\'
check "finish state" wait_for 90 log_has "UpdateWindowSate:kWindow_Finish"
sleep 0.5
shot 03-finish "$w"
check "installer run for the chosen folder" grep -aqF -- '/path="C:\pwapps\\"' "$work/installer.log"
check "product installed in the chosen folder" [ -f "$chosen/Brisklane/Brisklane Pathwick/Pathwick.exe" ]
check "domain file in the chosen folder" \
      [ "$(cat "$chosen/Brisklane/Brisklane Pathwick/domain" 2>/dev/null)" = "com_english" ]
