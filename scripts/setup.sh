#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine, and
# fetches the minizip sources for the Windows build. Idempotent: when every
# package is present and the sources are unpacked it only checks and returns.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps_dir="$here/build/deps"

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

packages=(
  # build tools; python3 packs the resource package and the skin archive
  cmake ninja-build pkg-config dpkg-dev python3
  # native toolchain and libraries for the portable core; clang with the
  # libFuzzer runtime for the fuzz targets
  g++ zlib1g-dev libminizip-dev libstb-dev liblog4cpp5-dev googletest clang libclang-rt-dev
  # Windows cross toolchain (posix threads) and the Windows zlib
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-i686-dev libz-mingw-w64-dev
  # running and driving the Windows program
  wine wine32:i386 xvfb xauth xdotool x11-utils imagemagick
  fonts-wqy-microhei fonts-dejavu-core
  # local test servers (Python, nginx, the squid proxy) with their certificates, benchmark peers
  openssl curl aria2 nginx squid
  # Authenticode signing of the stand-in installer the tests serve and of the
  # release file; reading its resources (wrestool); lossless PNG
  # recompression (zopflipng); a compiler cache for the release tree
  osslsigncode icoutils zopfli ccache
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The Windows build compiles minizip from Debian's source package. Source
# entries are derived from the machine's own binary entries, so no mirror is
# named here.
if [ ! -f "$deps_dir/minizip/.unpacked" ]; then
  src_list=/etc/apt/sources.list.d/pathwick-deb-src.sources
  if ! apt-get source --print-uris minizip >/dev/null 2>&1; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $SUDO tee "$src_list" >/dev/null
    elif [ -f /etc/apt/sources.list ]; then
      grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' | $SUDO tee /etc/apt/sources.list.d/pathwick-deb-src.list >/dev/null
    fi
    $SUDO apt-get update -q
  fi
  rm -rf "$deps_dir/minizip" && mkdir -p "$deps_dir/minizip"
  (cd "$deps_dir/minizip" && apt-get source -q --download-only minizip >/dev/null && dpkg-source --no-check -x ./*.dsc src >/dev/null)
  touch "$deps_dir/minizip/.unpacked"
fi
echo "setup: all packages present, minizip sources in build/deps/minizip"
