# The German UI language is chosen from the locale and the window shows German texts.
#
# The German UI language: the package's German row is chosen and the window
# shows other texts than the English one (compared with an English run).

local lang_shot
for lang in en_US de_DE; do
  rm -f "$logfile"
  LANG=$lang.UTF-8 LC_ALL=$lang.UTF-8 start_app
  local w; w=$(find_main_window 60) || { fail "main window shown ($lang)"; return; }
  sleep 1.5
  shot "home-$lang" "$w"
  if [ "$lang" = de_DE ]; then
    check "German language chosen" log_has "Language Code:1031"
    click "$w" $close_x $close_y
    expect_box close-de_DE "German close question" "Möchten Sie das Setup wirklich beenden?"
  fi
  stop_app
  sleep 1
done
local diff
diff=$(compare -metric AE "$shots/home-en_US.png" "$shots/home-de_DE.png" null: 2>&1 | cut -d' ' -f1)
check "German texts differ from the English ones ($diff pixels)" [ "${diff%.*}" -gt 500 ]
