#!/usr/bin/env bash
# Runs pathwick-verify.exe on the signed stand-in installer and its five bad
# copies, with and without a root pin, the signer's organisation and country
# and a lowest version, and on bad command lines; checks what it prints and
# its exit codes.
#   verify_check.sh WINE_RUN VERIFY_EXE PAYLOADS_DIR PKI_DIR
set -uo pipefail
wine_run=${1:?}; verify=${2:?}; payloads=${3:?}; pki=${4:?}
fails=0
all=""; out=""; rc=""
# The verdict is the first line; the wrapper passes the details written to
# standard error after it.
run() { all=$("$wine_run" "$verify" "$@" </dev/null 2>&1 | tr -d '\r'); rc=$?; out=$(head -1 <<<"$all"); }
expect() { # expect WHAT WANT_FIRST_LINE|- WANT_RC ARGS...
  local what=$1 want=$2 want_rc=$3; shift 3
  run "$@"
  if { [ "$want" = - ] || [ "$out" = "$want" ]; } && [ "$rc" = "$want_rc" ]; then
    echo "ok   $what ($out)"
  else
    echo "FAIL $what: printed '$out', exit $rc (want '$want', exit $want_rc)"
    sed 's/^/     /' <<<"$all"
    fails=$((fails + 1))
  fi
}
z() { echo "Z:$payloads/$1"; }

expect "the signed installer is accepted" "accepted" 0 "$(z good.exe)"
expect "a flipped byte is refused" "refused: bad digest" 1 "$(z flipped.exe)"
expect "an unsigned copy is refused" "refused: no signature" 1 "$(z unsigned.exe)"
expect "a same-name signer under an untrusted CA is refused" "refused: untrusted chain" 1 "$(z untrusted.exe)"
expect "another publisher under the trusted CA is refused" "refused: wrong publisher" 1 "$(z other-publisher.exe)"
expect "another publisher is accepted when it is the one asked for" "accepted" 0 \
  "$(z other-publisher.exe)" --publisher "Brisklane Other Publisher" --organization "" --country ""

expect "the signer's organisation and country as asked for" "accepted" 0 \
  "$(z good.exe)" --organization "Brisklane Test" --country NL
expect "another organisation is refused" "refused: wrong publisher" 1 "$(z good.exe)" --organization "Brisklane"
expect "another country is refused" "refused: wrong publisher" 1 "$(z good.exe)" --country DE
expect "the lowest version itself is accepted" "accepted" 0 "$(z good.exe)" --min-version 2.3.0.0
expect "a lowest version one above refuses" "refused: older than the lowest version" 1 \
  "$(z good.exe)" --min-version 2.3.0.1
expect "an older signed copy is refused" "refused: older than the lowest version" 1 "$(z old-version.exe)" \
  --min-version 2.3
expect "without a lowest version the older copy passes" "accepted" 0 "$(z old-version.exe)" --min-version ""

root_sha=$(openssl x509 -in "$pki/ca.pem" -outform der | sha256sum | cut -d' ' -f1)
rogue_sha=$(openssl x509 -in "$pki/rogue-ca.pem" -outform der | sha256sum | cut -d' ' -f1)
expect "pinned to the test CA (upper case digits)" "accepted" 0 "$(z good.exe)" --root-sha256 "${root_sha^^}"
expect "pinned to another root" "refused: root not pinned" 1 "$(z good.exe)" --root-sha256 "$rogue_sha"

expect "no file is a usage error" - 2
expect "a short pin is a usage error" - 2 "$(z good.exe)" --root-sha256 "${root_sha:0:63}"
expect "an option without its value is a usage error" - 2 "$(z good.exe)" --publisher
expect "a malformed lowest version is a usage error" - 2 "$(z good.exe)" --min-version 2.x
expect "a missing file cannot be read (not a refused signature)" "refused: cannot be read" 1 "$(z absent.exe)"
[ "$fails" = 0 ]
