# DLLs planted beside the installer under the names of the DLLs it loads are never loaded: not at start, with Install clicked at once or after the warm-up, through a whole installation or with /S; a program without the protection loads one.
#
# The installer runs from a folder of its own (under its own name: the data
# folder and the single-instance name come from it) that holds
# planted_dll.dll under the name of every DLL the installer loads by import,
# delay import or by name, and of the DLLs those load in turn; Wine is told
# to take a DLL it finds on the search path before its own (native first), as
# Windows does. Each load of a planted copy appends a line to
# planted-marker.txt in that folder.
# Wine resolves the imports and delay imports of its own DLLs through the
# search path the process started with, the program's folder first, whatever
# SetDefaultDllDirectories said (WINEDEBUG=+module: "looking for ... in
# (null)"): such a load is safe only because the DLL is in the process
# already, loaded from the system folder before the first request. One name
# is left to Wine's own DLL: version.dll, an import of Wine's USER32, loaded
# before the program's first instruction. That the installer itself imports
# no such DLL directly is checked in its import table.

local dir="$work/planted"
local names="version msimg32 winhttp wininet wintrust crypt32 secur32 sspicli bcrypt ncrypt cryptsp oleacc comctl32
             uxtheme dwmapi wdc oleaut32 jsproxy mpr rsaenh kerberos netapi32 msv1_0 schannel explorerframe cryptnet
             urlmon libgcc_s_dw2-1 iphlpapi dnsapi nsi dhcpcsvc imagehlp dbghelp"
local wine_own="version"
local native="" n
mkdir -p "$dir"
cp "$exe" "$dir/PathwickSetup.exe"
cp "$build/tests/fixtures/planted_control.exe" "$dir/"
for n in $names; do
  cp "$build/tests/fixtures/planted_dll.dll" "$dir/$n.dll"
  [[ " $wine_own " == *" $n "* ]] || native="$native,$n"
done
exe="$dir/PathwickSetup.exe"
# A program that loaded a planted copy fails at its first call into it; no
# debugger is started for it.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;${native#,}=n,b"
local marker="$dir/planted-marker.txt"
no_marker() { [ ! -e "$marker" ] || { sed 's/^/     loaded: /' "$marker"; false; }; }

# The system always takes these from its own folder; any other direct import
# would be looked for beside the program first.
local known=" advapi32 comdlg32 gdi32 imm32 kernel32 msvcrt ole32 oleaut32 rpcrt4 sechost shell32 shlwapi user32 ws2_32 "
local imports; imports=$(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' | sed 's/\.dll$//')
only_known() { local d; for d in $imports; do [[ "$known" == *" $d "* ]] || return 1; done; [ -n "$imports" ]; }
check "direct imports only DLLs the system takes from its own folder ($(echo $imports))" only_known

# The loader's SetDefaultDllDirectories is looked up at run time: Windows
# Vista and 7 have it only with a loader update, and without it a program
# importing it would not start at all.
no_late_loader_import() { ! i686-w64-mingw32-objdump -p "$exe" | grep -qwE 'SetDefaultDllDirectories|AddDllDirectory'; }
check "SetDefaultDllDirectories is not in the import table" no_late_loader_import

start_server
rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
run_silent silent 0
check "no planted DLL loaded by /S" no_marker
rm -f "$marker"   # each part answers for its own loads

# The window twice: Install clicked the moment the window shows, while the
# TLS warm-up is still loading the request libraries (the first requests
# must wait for them, not race them), and once the warm-up has ended.
# Each run starts from a fresh log, so that a line of the run before cannot
# answer for it.
window_run() { # window_run at_once|after_warm_up
  local when=$1 w
  rm -f "$logfile"
  start_app
  if [ "$when" = at_once ]; then
    w=$(find_main_window 60 0.05) || { fail "$when: main window shown"; stop_app; return; }
    xdotool mousemove --window "$w" $install_x $install_y click 1
    check "$when: Install clicked before the warm-up ended" wait_for 10 clicked_before_warm_up_ended
  else
    w=$(find_main_window 60) || { fail "$when: main window shown"; stop_app; return; }
    check "$when: the TLS stack loaded while the home page shows" wait_for 10 log_has "secure channel loaded: yes"
    click "$w" $install_x $install_y
  fi
  # A process that called into a planted DLL has ended: no need to wait.
  finished_or_gone() { log_has "UpdateWindowSate:kWindow_Finish" || ! kill -0 "$app_pid" 2>/dev/null; }
  wait_for 90 finished_or_gone
  check "$when: finish page after the download and the installation" log_has "UpdateWindowSate:kWindow_Finish"
  sleep 0.5
  if [ "$when" = at_once ]; then
    click "$w" $close_x $close_y
    check "$when: closing the finished window exits with 0" exits_with 0 30
  else
    click "$w" $install_x $install_y
    check "$when: Start Now closes the window (exit 0)" exits_with 0 30
  fi
  stop_app
  check "$when: no planted DLL loaded in the window" no_marker
  rm -f "$marker"
  cp "$logfile" "$work/log-$when.txt" 2>/dev/null
  cp "$work/app.out" "$work/app-$when.out" 2>/dev/null
}
# The log's order: the click, then the end of the warm-up.
clicked_before_warm_up_ended() {
  local click warm
  click=$(grep -an $'OnClickInstall\r\\?$' "$logfile" | head -1 | cut -d: -f1)
  warm=$(grep -an 'secure channel loaded:' "$logfile" | head -1 | cut -d: -f1)
  [ -n "$click" ] && [ -n "$warm" ] && [ "$click" -lt "$warm" ]
}
window_run at_once
window_run after_warm_up

"$wine_run" "$dir/planted_control.exe"
control_loaded() { [ "$(tr -d '\r' <"$marker" 2>/dev/null)" = "$(winepath -w "$dir/msimg32.dll" 2>/dev/null)" ]; }
check "the control program loads the planted msimg32.dll ($(tr -d '\r' <"$marker" 2>/dev/null))" control_loaded
