# Shared by test.sh and demo.sh: the Wine prefix of the Windows build, a
# virtual display when there is none, and one persistent wineserver for the
# whole run. Source it, then call pw_wine_up; pw_wine_down runs on exit.

pw_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$pw_root/build/win/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts in the throwaway prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

pw_xvfb_pid=""

# Starts a private Xvfb unless PW_USE_DISPLAY=1 and a display is set.
pw_start_display() {
  if [ "${PW_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
    return
  fi
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  pw_xvfb_pid=$!
  local num
  read -r num <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$num"
}

pw_wine_up() {
  pw_start_display
  mkdir -p "$(dirname "$WINEPREFIX")"
  # One persistent server for the whole run, started first so every Wine
  # process joins it; its streams must not hold ctest's pipes open.
  wineserver -p </dev/null >/dev/null 2>&1 &
  sleep 0.5
  trap pw_wine_down EXIT
  if [ ! -f "$WINEPREFIX/.pw-ready" ]; then
    echo "wine: preparing the prefix $WINEPREFIX (takes a while the first time)"
    wineboot -i </dev/null >/dev/null 2>&1 || true
    touch "$WINEPREFIX/.pw-ready"
  fi
  # Start the prefix's own services now, with quiet streams: started later by
  # a test, they would inherit and hold that test's output pipes.
  wineboot </dev/null >/dev/null 2>&1 || true
}

pw_wine_down() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -n "$pw_xvfb_pid" ]; then
    kill "$pw_xvfb_pid" 2>/dev/null || true
    wait "$pw_xvfb_pid" 2>/dev/null || true
  fi
}

# The test and demo builds send every request to the local test server,
# which serves HTTPS and plain HTTP on this one loopback port.
export PW_SERVER_PORT="${PW_SERVER_PORT:-47443}"

# The trees: native (sanitizers), ThreadSanitizer (the portable unit tests
# once more: the download engine's threads, the request queue of the install
# flow) and Windows. pw_configure writes them, pw_configure_and_build builds
# them as well.
pw_configure() {
  cmake -S "$pw_root" -B "$pw_root/build/native" -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug -DPW_SANITIZE=ON >/dev/null
  cmake -S "$pw_root" -B "$pw_root/build/tsan" -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug -DPW_TSAN=ON >/dev/null
  cmake -S "$pw_root" -B "$pw_root/build/win" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$pw_root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPW_DOWNLOAD_HOST="localhost:$PW_SERVER_PORT" -DPW_PRODUCT_URL_HOST="localhost:$PW_SERVER_PORT" \
    -DPW_MIRROR_HOSTS="localhost:$((PW_SERVER_PORT + 100)),localhost:$((PW_SERVER_PORT + 200))" \
    -DPW_COLLECTOR_HOST="localhost:$PW_SERVER_PORT" -DPW_PAYLOAD_PUBLISHER="Brisklane Test Publisher" \
    -DPW_PAYLOAD_PUBLISHER_O="Brisklane Test" -DPW_PAYLOAD_PUBLISHER_C=NL -DPW_PAYLOAD_MIN_VERSION=2.3 \
    --no-warn-unused-cli >/dev/null
}
pw_configure_and_build() {
  pw_configure
  cmake --build "$pw_root/build/native"
  cmake --build "$pw_root/build/tsan"
  cmake --build "$pw_root/build/win"
}

# The libFuzzer targets (clang, sanitizers), in their own tree: scripts/test.sh
# runs each as a short test, tests/fuzz/run.sh for long runs.
pw_configure_fuzz() {
  cmake -S "$pw_root" -B "$pw_root/build/fuzz" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPW_FUZZ=ON >/dev/null
}
pw_build_fuzz() {
  pw_configure_fuzz
  cmake --build "$pw_root/build/fuzz"
}
