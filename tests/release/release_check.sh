#!/usr/bin/env bash
# Checks the release file that scripts/release.sh made against the test build
# of the same tree: its Authenticode signature verifies under the test CA, it
# carries no symbols and stays within its size budget, and it holds the same
# resources (types, names, languages and bytes: the version information, the
# package, the skin, the icon, the manifest) as the test build. Then the
# script's signing options: a given certificate is the one used, and a
# half-given or mismatched one fails and leaves the output as it was; it
# warns when the build has no root pin or no lowest version; and a file
# signed through a time-stamp authority (tests/server/tsa.py under the test
# CA) carries a valid time stamp, so that it still verifies after the
# signing certificate has expired, where the release file without one fails.
#   release_check.sh RELEASE_EXE TEST_EXE PKI_DIR WORK_DIR
# The deployment settings of the test build come in the environment (ctest).
set -uo pipefail
release=${1:?}; test_exe=${2:?}; pki=${3:?}; work=${4:?}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# The size goal, 960 KiB with all ten languages.
budget=983040
fails=0
check() { # check WHAT COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; fails=$((fails + 1)); fi
}
rm -rf "$work" && mkdir -p "$work"

verified_by() { # verified_by FILE SIGNER_CN: the signature checks out under the test CA, signed by CN
  osslsigncode verify -CAfile "$pki/ca.pem" -in "$1" >"$work/verify.txt" 2>&1 &&
    grep -q "Signature verification: ok" "$work/verify.txt" &&
    grep -q "Subject: .*CN *= *$2" "$work/verify.txt"
}
check "signature verifies under the test CA, signer Brisklane Test Publisher" \
      verified_by "$release" "Brisklane Test Publisher"
not_verified_by_other_ca() { ! osslsigncode verify -CAfile "$pki/rogue-ca.pem" -in "$1" >/dev/null 2>&1; }
check "signature does not verify under another CA" not_verified_by_other_ca "$release"

size=$(stat -c %s "$release")
check "size $size bytes is at most $budget" [ "$size" -le "$budget" ]
stripped() {
  ! i686-w64-mingw32-objdump -h "$1" | grep -q "\.debug_" &&
    i686-w64-mingw32-nm "$1" 2>&1 | grep -q "no symbols"
}
check "no symbols, no debug information" stripped "$release"

# wrestool lists one resource a line: --type=T --name=N --language=L [... offset size]
resources() { wrestool -l "$1" | sed 's/ *\[.*//' | sort; }
resource_digests() { # resource_digests EXE: each resource's selector and the SHA-256 of its bytes
  local exe=$1 sel
  resources "$exe" | while read -r sel; do
    eval "set -- $sel"
    printf '%s %s\n' "$sel" "$(wrestool -x --raw "$@" "$exe" | sha256sum | cut -c1-64)"
  done
}
resource_digests "$release" >"$work/release.res"
resource_digests "$test_exe" >"$work/test.res"
nonempty_and_same() { [ -s "$1" ] && [ "$(wc -l <"$1")" -ge 5 ] && cmp -s "$1" "$2"; }
check "same resources, byte for byte, as the test build ($(wc -l <"$work/release.res") resources)" \
      nonempty_and_same "$work/release.res" "$work/test.res" ||
  diff "$work/test.res" "$work/release.res" | sed 's/^/     /'
has_version() { grep -q -- "--type=16 --name=1 " "$1"; }
check "the version information is among them" has_version "$work/release.res"

# Signing options. Each run builds nothing new: the release tree is up to date.
marker="$work/PathwickSetup.exe"
echo "earlier file" >"$marker"
PW_SIGN_CERT="$pki/other.pem" bash "$root/scripts/release.sh" --out "$marker" >"$work/half.txt" 2>&1
rc=$?
refused_half() { [ "$rc" = 2 ] && grep -q "PW_SIGN_CERT and PW_SIGN_KEY must both" "$work/half.txt" &&
                 [ "$(cat "$marker")" = "earlier file" ]; }
check "a certificate without its key is refused before the build, output untouched (exit $rc)" refused_half
PW_SIGN_CERT="$pki/other.pem" PW_SIGN_KEY="$pki/codesign.key" \
  bash "$root/scripts/release.sh" --out "$marker" >"$work/mismatch.txt" 2>&1
rc=$?
refused_mismatch() { [ "$rc" = 1 ] && grep -q "signing failed" "$work/mismatch.txt" &&
                     [ "$(cat "$marker")" = "earlier file" ] && [ ! -e "$marker.signing" ]; }
check "a key that does not match the certificate fails, output untouched (exit $rc)" refused_mismatch
PW_SIGN_CERT="$pki/other.pem" PW_SIGN_KEY="$pki/other.key" \
  bash "$root/scripts/release.sh" --out "$marker" >"$work/given.txt" 2>&1
rc=$?
signed_as_given() { [ "$rc" = 0 ] && verified_by "$marker" "Brisklane Other Publisher" &&
                    ! grep -q "WARNING: signed with the TEST" "$work/given.txt" && grep -q "is [0-9]* bytes" "$work/given.txt"; }
check "a given certificate signs, without the test warning" signed_as_given
bash "$root/scripts/release.sh" --out "$work/test-signed.exe" >/dev/null 2>"$work/test-signed.err"
rc=$?
warned() { [ "$rc" = 0 ] && grep -q "^WARNING: signed with the TEST certificate.*NOT FOR SHIPPING" "$work/test-signed.err" &&
           verified_by "$work/test-signed.exe" "Brisklane Test Publisher"; }
check "without a certificate: signed with the test one, with a warning on stderr" warned
warns_for() { # warns_for SETTING FILE: a warning names SETTING exactly when it is empty
  if [ -z "${!1:-}" ]; then grep -q "^WARNING: .*($1)" "$2"; else ! grep -q "($1)" "$2"; fi
}
check "a warning without a root pin, none with one (PW_PAYLOAD_ROOT_SHA256='${PW_PAYLOAD_ROOT_SHA256:-}')" \
      warns_for PW_PAYLOAD_ROOT_SHA256 "$work/test-signed.err"
check "a warning without a lowest version, none with one (PW_PAYLOAD_MIN_VERSION='${PW_PAYLOAD_MIN_VERSION:-}')" \
      warns_for PW_PAYLOAD_MIN_VERSION "$work/test-signed.err"

python3 "$root/tests/server/tsa.py" --pki "$pki" --state "$work/tsa" --port-file "$work/tsa.port" --time-limit 600 \
  </dev/null >"$work/tsa.log" 2>&1 &
tsa_pid=$!
for _ in $(seq 1 100); do [ -s "$work/tsa.port" ] && break; sleep 0.1; done
PW_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat "$work/tsa.port" 2>/dev/null)/" \
  bash "$root/scripts/release.sh" --out "$work/timestamped.exe" >"$work/timestamped.txt" 2>&1
rc=$?
kill "$tsa_pid" 2>/dev/null
wait "$tsa_pid" 2>/dev/null
# A day after the test signing certificate expires.
expired=$(( $(date -d "$(openssl x509 -in "$pki/codesign.pem" -noout -enddate | cut -d= -f2)" +%s) + 86400 ))
verified_later() { # verified_later FILE: the signature verifies as of $expired
  osslsigncode verify -CAfile "$pki/ca.pem" -TSA-CAfile "$pki/ca.pem" -time "$expired" -in "$1" >"$work/later.txt" 2>&1 &&
    grep -q "^Signature verification: ok" "$work/later.txt"
}
time_stamped() { [ "$rc" = 0 ] && verified_later "$work/timestamped.exe" &&
                 grep -q "^Timestamp Server Signature verification: ok" "$work/later.txt" &&
                 grep -q "Subject: /CN=Pathwick Test TSA" "$work/later.txt"; }
time_stamped
stamped=$?
stamp=$(grep -m1 'Timestamp time:' "$work/later.txt" | sed 's/^[[:space:]]*//')
check "time-stamped by the test authority, still valid once the certificate expired ($stamp)" [ "$stamped" = 0 ] ||
  sed 's/^/     /' "$work/timestamped.txt" "$work/tsa.log" "$work/later.txt"
not_verified_later() { ! verified_later "$1"; }
check "without a time stamp the release file fails once the certificate expired" not_verified_later "$release"

[ "$fails" = 0 ]
