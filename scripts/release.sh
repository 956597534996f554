#!/usr/bin/env bash
# Builds the file a vendor ships, dist/PathwickSetup.exe: the installer built
# for size in its own tree (build/release: -Os, unused sections dropped,
# link-time optimisation, stripped) from the same sources and resources as the
# test build, then Authenticode-signed (SHA-256) with osslsigncode. Prints the
# size in bytes at the end.
#
#   scripts/release.sh [--out FILE]
#
# Signing: PW_SIGN_CERT and PW_SIGN_KEY name the certificate (PEM, with its
# chain) and the unencrypted key (PEM); PW_SIGN_TIMESTAMP_URL, when set, is
# the RFC 3161 time-stamping server. Without them the file is signed with the
# project's test certificate ("Brisklane Test Publisher" under the test CA of
# build/win/pki) and a warning says that this file is not for shipping.
#
# Deployment settings: those of the test build (every host the local test
# server on PW_SERVER_PORT, its mirrors, publisher "Brisklane Test
# Publisher") unless PW_DOWNLOAD_HOST, PW_MIRROR_HOSTS, PW_PRODUCT_URL_HOST,
# PW_COLLECTOR_HOST, PW_PAYLOAD_PUBLISHER are set (a download host given
# brings no test mirrors); PW_ANALYTICS_PROPERTY_ID, PW_PAYLOAD_PUBLISHER_O,
# PW_PAYLOAD_PUBLISHER_C, PW_PAYLOAD_ROOT_SHA256 and PW_PAYLOAD_MIN_VERSION
# keep the project's defaults unless set. A release without a root pin or
# without a lowest accepted version is built, with a warning for each.
#
# Nothing is written to the output when the build or the signing fails.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out="$(cd "$here/.." && pwd)/dist/PathwickSetup.exe"
while [ $# -gt 0 ]; do
  case $1 in
    --out) out=${2:?--out needs a file}; shift 2 ;;
    *) echo "usage: release.sh [--out FILE]" >&2; exit 2 ;;
  esac
done

# A half-given certificate is refused before anything is built.
if [ -n "${PW_SIGN_CERT:-}" ] || [ -n "${PW_SIGN_KEY:-}" ]; then
  for f in "${PW_SIGN_CERT:-}" "${PW_SIGN_KEY:-}"; do
    if [ -z "$f" ] || [ ! -r "$f" ]; then
      echo "release: PW_SIGN_CERT and PW_SIGN_KEY must both name readable files" \
           "(certificate '${PW_SIGN_CERT:-}', key '${PW_SIGN_KEY:-}')" >&2
      exit 2
    fi
  done
fi

bash "$here/setup.sh"
source "$here/env.sh"
tree="$pw_root/build/release"

test_host="localhost:$PW_SERVER_PORT"
# The test build's mirrors go only with its download host; PW_MIRROR_HOSTS
# set but empty names none.
test_mirrors="localhost:$((PW_SERVER_PORT + 100)),localhost:$((PW_SERVER_PORT + 200))"
[ -n "${PW_DOWNLOAD_HOST:-}" ] && test_mirrors=""
settings=(
  -DPW_DOWNLOAD_HOST="${PW_DOWNLOAD_HOST:-$test_host}"
  -DPW_MIRROR_HOSTS="${PW_MIRROR_HOSTS-$test_mirrors}"
  -DPW_PRODUCT_URL_HOST="${PW_PRODUCT_URL_HOST:-$test_host}"
  -DPW_COLLECTOR_HOST="${PW_COLLECTOR_HOST:-$test_host}"
  -DPW_PAYLOAD_PUBLISHER="${PW_PAYLOAD_PUBLISHER:-Brisklane Test Publisher}"
)
# Settings not given are removed from the tree's cache, so that a value from
# an earlier run cannot linger.
for name in PW_ANALYTICS_PROPERTY_ID PW_PAYLOAD_PUBLISHER_O PW_PAYLOAD_PUBLISHER_C PW_PAYLOAD_ROOT_SHA256 \
            PW_PAYLOAD_MIN_VERSION; do
  if [ -n "${!name+set}" ]; then settings+=(-D"$name=${!name}"); else settings+=(-U"$name"); fi
done
if [ -z "${PW_PAYLOAD_ROOT_SHA256:-}" ]; then
  echo "WARNING: no root pin (PW_PAYLOAD_ROOT_SHA256): the downloaded installer may be signed under any" \
       "root the machine trusts." >&2
fi
if [ -z "${PW_PAYLOAD_MIN_VERSION:-}" ]; then
  echo "WARNING: no lowest accepted version (PW_PAYLOAD_MIN_VERSION): an older signed installer" \
       "would be run as well." >&2
fi
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Paths below the checkout hash alike in every clone.
  export CCACHE_BASEDIR="$pw_root"
fi

cmake -S "$pw_root" -B "$tree" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$pw_root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DPW_RELEASE=ON -DPW_BUILD_TESTS=OFF "${launcher[@]}" "${settings[@]}" --no-warn-unused-cli >/dev/null
cmake --build "$tree" --target PathwickSetup

built="$tree/src/app/PathwickSetup.exe"
cert=${PW_SIGN_CERT:-}
key=${PW_SIGN_KEY:-}
if [ -z "$cert" ]; then
  pki="$pw_root/build/win/pki"
  bash "$pw_root/tests/server/make_certs.sh" "$pki" >/dev/null
  cert="$pki/codesign.pem"
  key="$pki/codesign.key"
  echo "WARNING: signed with the TEST certificate \"Brisklane Test Publisher\" ($cert)," \
       "which no real machine trusts: NOT FOR SHIPPING. Set PW_SIGN_CERT and PW_SIGN_KEY." >&2
fi
timestamp=()
if [ -n "${PW_SIGN_TIMESTAMP_URL:-}" ]; then timestamp=(-ts "$PW_SIGN_TIMESTAMP_URL"); fi

mkdir -p "$(dirname "$out")"
signed="$out.signing"
rm -f "$signed"
if ! osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "Pathwick Setup" "${timestamp[@]}" \
     -in "$built" -out "$signed" >"$tree/sign.log" 2>&1; then
  rm -f "$signed"
  echo "release: signing failed; $out is unchanged:" >&2
  cat "$tree/sign.log" >&2
  exit 1
fi
mv -f "$signed" "$out"
echo "release: $out is $(stat -c %s "$out") bytes"
