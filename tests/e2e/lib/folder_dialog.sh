# The folder area and the shell's folder dialog opened from Browse.

fold_x=600; fold_y=337            # chk_fold (opens the folder area)
browse_x=566; browse_y=397        # btn_browse in the folder area
dialog_title="Browse for Folder"  # the caption Wine gives the shell's folder dialog

# Chooses a new folder NAME on drive C: in the folder dialog, opened with
# Browse from the folder area. The tree starts at the desktop ("/",
# Documents, My Computer, Trash); My Computer holds the drives, (C:) first.
# The folder is made with the dialog's own "Make New Folder" button.
folder_area_open() { xdotool getwindowgeometry "$1" | grep -q 'Geometry: 650x435'; }
folder_dialog_open() { xdotool search --onlyvisible --name "^$dialog_title\$" >/dev/null 2>&1; }
no_folder_dialog() { ! folder_dialog_open; }
open_folder_dialog() { # open_folder_dialog WINDOW -> the dialog's id in $d
  folder_area_open "$1" || click "$1" $fold_x $fold_y
  wait_for 5 folder_area_open "$1" || { echo "folder area did not open"; return 1; }
  click "$1" $browse_x $browse_y
  wait_for 10 sh -c "xdotool search --onlyvisible --name '^$dialog_title\$' >/dev/null 2>&1" || { echo "no folder dialog"; return 1; }
  d=$(xdotool search --onlyvisible --name "^$dialog_title\$" | head -1)
  sleep 0.5
}
choose_new_folder_on_c() { # choose_new_folder_on_c WINDOW NAME
  local d
  open_folder_dialog "$1" || return 1
  click "$d" 104 119                 # My Computer
  local k
  for k in Right Down; do            # expand it, then (C:)
    xdotool key --window "$d" "$k" 2>/dev/null
    sleep 0.3
    nudge "$d"
  done
  press_button "$d" "&Make New Folder" "$dialog_title" || { echo "no Make New Folder button"; return 1; }
  sleep 1
  xdotool type --window "$d" "$2" 2>/dev/null
  xdotool key --window "$d" Return 2>/dev/null
  sleep 0.3
  nudge "$d"
  wait_for 5 test -d "$WINEPREFIX/drive_c/$2" || { echo "new folder not made"; return 1; }
  sleep 0.5
  shot 01-folder-dialog
  press_button "$d" "OK" "$dialog_title" || { echo "no OK button"; return 1; }
  wait_for 5 sh -c "! xdotool search --onlyvisible --name '^$dialog_title\$' 2>/dev/null | grep -qx $d"
}

# My Computer, chosen in the folder dialog, is no folder of the file system:
# the red tip shows and the field keeps its folder.
choose_my_computer() { # choose_my_computer WINDOW
  local d
  open_folder_dialog "$1" || return 1
  click "$d" 104 119                 # My Computer
  sleep 0.5
  press_button "$d" "OK" "$dialog_title" || { echo "no OK button"; return 1; }
  wait_for 5 sh -c "! xdotool search --onlyvisible --name '^$dialog_title\$' 2>/dev/null | grep -qx $d"
}
