# The main window as a screen reader sees and hears it, through acc_probe.exe.

# The main window as a screen reader sees it, read inside Wine by
# acc_probe.exe: one line per child, tab-separated:
#   child <id>  <role>  <states>  <x>,<y>,<w>,<h>  <name>  <value>  <action>
acc_tree() { "$wine_run" "$build/tests/e2e/acc_probe.exe" tree "$title" 2>/dev/null | tr -d '\r'; }
acc_do() { # acc_do NAME ROLE: the child's default action, as a reader does it
  "$wine_run" "$build/tests/e2e/acc_probe.exe" do "$title" "$1" "$2" >/dev/null 2>&1
}
# A listed child with this role and name is shown, named, with its rectangle
# inside the client area and every state word asked for (pages hold controls
# of the same name: one of them must be it).
acc_shows() { # acc_shows ROLE NAME [STATE...]
  local role=$1 name=$2; shift 2
  acc_tree | awk -F'\t' -v r="$role" -v n="$name" -v want="$*" '
    function fits(   p, ws, i, k) {
      if ($3 ~ /invisible/ || $5 == "" || split($4, p, ",") != 4) return 0
      if (p[1] < 0 || p[2] < 0 || p[1] + p[3] > cw || p[2] + p[4] > ch || p[3] <= 0 || p[4] <= 0) return 0
      k = split(want, ws, " "); for (i = 1; i <= k; i++) if (index("," $3 ",", "," ws[i] ",") == 0) return 0
      return 1 }
    /^client / { split($0, c, " "); cw = c[2]; ch = c[3] }
    /^child / && $2 == r && $5 == n && fits() { found = 1 }
    END { exit !found }'
}
# The child is listed with this word among its states, or without it (of
# several children with that role and name, the first shown one, else the
# first).
acc_state() { # acc_state ROLE NAME has|lacks WORD
  acc_tree | awk -F'\t' -v r="$1" -v n="$2" -v how="$3" -v w="$4" '
    /^child / && $2 == r && $5 == n && (!f || (hidden && $3 !~ /invisible/)) {
      f = 1; hidden = $3 ~ /invisible/; has = index("," $3 ",", "," w ",") > 0 }
    END { exit !(f && (how == "has" ? has : !has)) }'
}
acc_value() { # acc_value ROLE NAME -> the child's value
  acc_tree | awk -F'\t' -v r="$1" -v n="$2" '$2 == r && $5 == n && $3 !~ /invisible/ { print $6; exit }'
}
acc_place() { # acc_place ROLE NAME -> "x y w h"
  acc_tree | awk -F'\t' -v r="$1" -v n="$2" '$2 == r && $5 == n && $3 !~ /invisible/ { gsub(",", " ", $4); print $4; exit }'
}
# The speed line under the progress bar shows ("... MB of ... MB · ... MB/s").
speed_shown() { acc_tree | awk -F'\t' '$2 == "static text" && $3 !~ /invisible/ && $5 ~ / MB of .* MB\/s/ { f = 1 } END { exit !f }'; }
# Every event a reader hears from the installer's process, into a file as
# it comes (so plain wine, not wine-run, which hands the output over at the
# end), while the window lives; acc_heard_all waits until the window is gone
# and the file complete.
listen_pid=""
acc_listen() { # acc_listen FILE
  WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine "$build/tests/e2e/acc_probe.exe" events "$title" 200 \
    >"$1" 2>/dev/null </dev/null &
  listen_pid=$!
  wait_for 20 grep -q listening "$1"
}
acc_heard_all() { wait_for 20 sh -c "! kill -0 $listen_pid 2>/dev/null"; }
# The names of the focus events heard so far (controls only), comma-joined.
# The focus events heard since line FROM of the file (controls only):
# "<role>:<name>" joined by " > ".
focus_trail() { # focus_trail FILE [FROM]
  tr -d '\r' <"$1" | tail -n +"${2:-1}" |
    awk -F'\t' '$1 == "focus" && $2 != "client" && $4 != "" { printf "%s%s:%s", s, $2, $4; s = " > " }'
}
lines_of() { wc -l <"$1"; }

licence="I've read and agreed to Brisklane License Agreement"
nbsp=$'\xc2\xa0'   # "Start Now" is joined by a no-break space
