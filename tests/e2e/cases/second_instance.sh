# A second instance, with or without /S, exits -1 at once and the first window stays alone.

start_app
local first=$app_pid
find_main_window 60 >/dev/null || { fail "first window shown"; return; }
local t0=$SECONDS
"$wine_run" "$exe" >/dev/null 2>&1
local rc=$?
check "second instance exits -1 ($rc)" [ "$rc" = 255 ]
check "second instance exits at once" [ $((SECONDS - t0)) -le 10 ]
"$wine_run" "$exe" /S >/dev/null 2>&1
rc=$?
check "silent second instance exits -1 ($rc)" [ "$rc" = 255 ]
local count; count=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | wc -l)
check "still one window ($count)" [ "$count" = 1 ]
app_pid=$first
