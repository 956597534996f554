# Message boxes: finding them, reading their texts (window_text.exe) and
# pressing their buttons.

# A message box: a visible window with the setup title that is not of the
# main window's width.
find_message_box() { # find_message_box TIMEOUT_S -> prints the id
  local deadline=$((SECONDS + $1)) w
  while :; do
    for w in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
      if ! main_sized "$w"; then
        echo "$w"; return 0
      fi
    done
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.3
  done
}

box_open() { xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | grep -qx "$1"; }

no_message_box() { ! find_message_box 0 >/dev/null; }

box_width() { # box_width BOX
  xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p'
}

# The child windows of the visible windows with a title, read inside Wine by
# window_text.exe: lines "child <class> <x> <y> <w> <h> <text>", the
# rectangle in the window's client (= X window) coordinates. For the setup
# title only the message boxes count (not the 650-pixel main window).
window_children() { # window_children TITLE
  "$wine_run" "$build/tests/e2e/window_text.exe" "$1" 2>/dev/null | tr -d '\r' |
    awk -v main="$([ "$1" = "$title" ] && echo 1)" '/^window / { keep = !(main && $2 ~ /^650x/) } /^child / && keep'
}
box_children() { window_children "$title"; }
child_text() { sed -e 's/^[^ ]* [^ ]* [^ ]* [^ ]* [^ ]* [^ ]* //'; }
box_text() { box_children | awk '$2 == "Static" && NF > 6' | child_text; }

# Waits for a message box (its id lands in $box), keeps a screenshot of the
# screen and checks the box's text.
box=""
expect_box() { # expect_box SHOT WHAT TEXT
  box=$(find_message_box 10) || { fail "$2 shown"; return 1; }
  sleep 0.5
  shot "$1"
  local text; text=$(box_text)
  check "$2 ($text)" [ "$text" = "$3" ]
}

# Clicks the button with the given caption ("&No", "OK", ...) in WINDOW, a
# window with the title TITLE (the setup title by default).
press_button() { # press_button WINDOW CAPTION [TITLE]
  local line geo
  line=$(window_children "${3:-$title}" | awk '$2 == "Button"' |
         while read -r l; do [ "$(child_text <<<"$l")" = "$2" ] && { echo "$l"; break; }; done)
  geo=$(awk '{ print $3 + int($5 / 2), $4 + int($6 / 2) }' <<<"$line")
  [ -n "$geo" ] || return 1
  # shellcheck disable=SC2086
  click "$1" $geo
}
# Answers the open message box by clicking a button; true once it is gone.
press_box_button() { # press_box_button BOX CAPTION
  press_button "$1" "$2" || return 1
  wait_for 5 sh -c "! xdotool search --onlyvisible --name '^$title\$' 2>/dev/null | grep -qx '$1'"
}
