# DLLs planted beside the installer under the names of the DLLs it loads are never loaded: not at start, in the window, through a whole installation or with /S; a program without the protection loads one.
#
# The installer runs from a folder of its own (under its own name: the data
# folder and the single-instance name come from it) that holds
# planted_dll.dll under the name of every DLL the installer loads by import,
# delay import or by name, and of the DLLs those load in turn; Wine is told
# to take a DLL it finds on the search path before its own (native first), as
# Windows does. Each load of a planted copy appends a line to
# planted-marker.txt in that folder.
# Five names are left to Wine's own DLLs: Wine loads them through the search
# path the process started with, which SetDefaultDllDirectories does not
# change under Wine (WINEDEBUG=+module: "looking for ... in (null)"), and
# this program never asks for them: version.dll, an import of Wine's USER32,
# loaded before the program's first instruction; iphlpapi.dll (with its
# import dnsapi.dll) and imagehlp.dll (with dbghelp.dll), which Wine's
# WinINet and WinTrust delay-load. That the installer itself imports no such
# DLL directly is checked in its import table.

local dir="$work/planted"
local names="version msimg32 winhttp wininet wintrust crypt32 secur32 bcrypt oleacc comctl32 uxtheme dwmapi
             wdc oleaut32 jsproxy mpr rsaenh kerberos netapi32 msv1_0 schannel explorerframe cryptnet urlmon
             libgcc_s_dw2-1 iphlpapi dnsapi imagehlp dbghelp"
local wine_own="version iphlpapi dnsapi imagehlp dbghelp"
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

start_server
rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
run_silent silent 0
check "no planted DLL loaded by /S" no_marker

# The window's own warm-up line gates the click below, not the silent run's:
# under Wine a secure request that starts before the warm-up has loaded the
# system's secur32.dll has WinHTTP look for it beside the program first.
rm -f "$logfile"
start_app
local w; w=$(find_main_window 60) || { fail "main window shown"; no_marker; return; }
check "the TLS stack loaded while the home page shows" wait_for 10 log_has "secure channel loaded: yes"
click "$w" $install_x $install_y
check "finish page after the download and the installation" wait_for 90 log_has "UpdateWindowSate:kWindow_Finish"
sleep 0.5
click "$w" $install_x $install_y
check "Start Now closes the window (exit 0)" exits_with 0 30
check "no planted DLL loaded in the window" no_marker

"$wine_run" "$dir/planted_control.exe"
control_loaded() { [ "$(tr -d '\r' <"$marker" 2>/dev/null)" = "$(winepath -w "$dir/msimg32.dll" 2>/dev/null)" ]; }
check "the control program loads the planted msimg32.dll ($(tr -d '\r' <"$marker" 2>/dev/null))" control_loaded
