#!/usr/bin/env bash
# Memory benchmark: peak memory of the installer (PathwickSetup.exe under
# Wine) while it downloads the stand-in product installer from the local
# test server, set up like the end-to-end "happy" case. The server is
# throttled so the download lasts about DOWNLOAD_S seconds. The Wine process
# that owns the installer's window is sampled every 50 ms in /proc (VmRSS,
# VmHWM) from the home page until the download has ended; prints the figures
# at the home page, the largest sampled VmRSS during the download and VmHWM
# (the kernel's own peak resident size) at the end of the download, and the
# process's thread count at the home page and at most during the download.
#   bench/memory.sh [DOWNLOAD_S=6]
# The installer run is the file that ships: the built PathwickSetup.exe
# without its debug sections, stripped into the work folder (Wine would keep
# the build's 11 MiB of debug information resident); PW_BENCH_SETUP_EXE names
# another file.
# Needs the Windows tree built with its tests; runs the ctest fixtures that
# make the certificates, trust the test CA and register the browser stand-in.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
download_s=${1:-6}
build="$root/build/win"
built_exe="$build/src/app/PathwickSetup.exe"
standin="$build/tests/fixtures/standin_installer.exe"
work="$root/build/bench/memory"
port=${PW_SERVER_PORT:-47443}
title="Brisklane Pathwick Setup"
install_x=325; install_y=207

for f in "$built_exe" "$standin"; do
  [ -f "$f" ] || { echo "missing $f: build the Windows tree first" >&2; exit 1; }
done
# shellcheck source=/dev/null
source "$root/scripts/env.sh"
pw_wine_up
mkdir -p "$(dirname "$work")"
ctest --test-dir "$build" -R '^win\.(net\.certs|net\.trust_ca|browser_standin_setup)$' >"$work.ctest.log" 2>&1 ||
  { echo "certificate / browser fixtures failed, see $work.ctest.log" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/root"
exe=${PW_BENCH_SETUP_EXE:-}
if [ -z "$exe" ]; then
  exe="$work/PathwickSetup.exe"
  i686-w64-mingw32-strip -o "$exe" "$built_exe"
fi
echo "installer run: $exe ($(stat -c %s "$exe") bytes)"
export PW_BROWSER_RECORD="$work/browser.txt"
export PW_PATHWICK_RECORD="$work/product.txt"
export PW_STANDIN_INSTALLER_LOG="$work/installer.log"
export PW_STANDIN_INSTALL_MS=2000
progfiles="$WINEPREFIX/drive_c/Program Files"
logfile="$progfiles/corvane_down/PathwickSetup/Log/corvane_down.log"

cp "$standin" "$work/root/brisklane-pathwick.exe"
size=$(stat -c %s "$work/root/brisklane-pathwick.exe")
# Five ranges are fetched at once; each response is throttled on its own.
rate=$(( size / (5 * download_s) ))
[ "$rate" -ge 4096 ] || rate=4096

app_pid=""
server_pid=""
cleanup() {
  local w pid
  for w in $(xdotool search --name "^$title\$" 2>/dev/null); do
    pid=$(xdotool getwindowpid "$w" 2>/dev/null) || continue
    if [ -n "$pid" ] && grep -aq "PathwickSetup.exe" "/proc/$pid/cmdline" 2>/dev/null; then
      kill -KILL "$pid" 2>/dev/null || true
    fi
  done
  [ -z "$app_pid" ] || { kill -KILL "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; }
  if [ -n "$server_pid" ] && grep -q e2e_server.py "/proc/$server_pid/cmdline" 2>/dev/null; then
    kill "$server_pid" 2>/dev/null || true
  fi
  pw_wine_down
}
trap cleanup EXIT

# The build sends its requests to this one port: another test run using it
# at the same time would answer instead of this server.
# (Connections of an earlier run still closing do not count: the server
# reuses the address as this probe does.)
if ! python3 -c 'import socket, sys; s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(("127.0.0.1", int(sys.argv[1])))' "$port" 2>/dev/null; then
  echo "port $port is in use (another test run?); try again when it is free" >&2
  exit 1
fi
setsid python3 "$root/tests/e2e/e2e_server.py" --port "$port" --root "$work/root" \
  --cert "$build/pki/server.pem" --key "$build/pki/server.key" \
  --port-file "$work/server.port" --time-limit 300 --rate "$rate" </dev/null >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$work/server.port" ] && break; sleep 0.1; done
[ -s "$work/server.port" ] || { echo "server did not start" >&2; cat "$work/server.log" >&2; exit 1; }

rm -rf "$progfiles/Brisklane"
rm -f "$logfile"
"$build/wine-run" "$exe" >"$work/app.out" 2>&1 </dev/null &
app_pid=$!

win="" ; deadline=$((SECONDS + 60))
while [ -z "$win" ] && [ $SECONDS -lt $deadline ]; do
  for w in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
    if xdotool getwindowgeometry "$w" 2>/dev/null | grep -q "Geometry: 650x"; then win=$w; fi
  done
  [ -n "$win" ] || sleep 0.3
done
[ -n "$win" ] || { echo "installer window did not appear" >&2; exit 1; }
pid=$(xdotool getwindowpid "$win")
grep -aq PathwickSetup.exe "/proc/$pid/cmdline" || { echo "window pid $pid is not the installer" >&2; exit 1; }
sleep 1

status_kb() { awk -v k="$1:" '$1 == k { print $2 }' "/proc/$pid/status"; }
home_rss=$(status_kb VmRSS); home_hwm=$(status_kb VmHWM); home_threads=$(status_kb Threads)

log_has() { [ -f "$logfile" ] && grep -aqF -- "$1" "$logfile"; }
xdotool mousemove --window "$win" $install_x $install_y sleep 0.2 click 1
peak_rss=0; peak_threads=0; samples=0; started=""; t_start=""; t_end=""
deadline=$((SECONDS + 10 * download_s + 60))
while [ $SECONDS -lt $deadline ]; do
  rss=$(status_kb VmRSS) || break
  [ -n "$rss" ] || break
  [ "$rss" -le "$peak_rss" ] || peak_rss=$rss
  threads=$(status_kb Threads)
  [ "${threads:-0}" -le "$peak_threads" ] || peak_threads=$threads
  samples=$((samples + 1))
  if [ -z "$started" ] && log_has "UpdateWindowSate:kWindow_Downloading"; then
    started=1; t_start=$(date +%s%3N)
  fi
  if log_has "HttpDownloadEnd"; then
    t_end=$(date +%s%3N); break
  fi
  sleep 0.05
done
end_hwm=$(status_kb VmHWM)
outcome=failed
! log_has "HttpDownloadEnd$(printf '\xa3\xba')Success" || outcome=success
[ -n "$t_end" ] || { echo "the download did not end (see $logfile)" >&2; exit 1; }

mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
echo "served file: $size bytes, throttled to $rate bytes/s per response (5 ranges)"
echo "download: $outcome, about $(( t_end - ${t_start:-$t_end} )) ms from the download page to its end, $samples samples"
echo "home page:        VmRSS $home_rss kB ($(mib "$home_rss")), VmHWM $home_hwm kB ($(mib "$home_hwm"))"
echo "during download:  peak sampled VmRSS $peak_rss kB ($(mib "$peak_rss"))"
echo "end of download:  VmHWM $end_hwm kB ($(mib "$end_hwm"))"
# The kernel updates VmHWM lazily (when the resident set is about to shrink),
# so a sample of VmRSS can be above it: the peak is the larger of the two.
peak=$end_hwm
[ "$peak_rss" -le "$peak" ] || peak=$peak_rss
echo "peak RSS during the download: $peak kB ($(mib "$peak")), $(( peak - home_hwm )) kB above the home page"
echo "threads of the process: $home_threads at the home page, at most $peak_threads during the download"
