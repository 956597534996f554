#!/usr/bin/env bash
# Makes the throwaway test PKI in the given folder (a build folder: nothing
# here is ever committed):
#   ca.pem ca.key            test CA "Pathwick Test CA" (trusted in the test prefix)
#   server.pem server.key    "localhost" TLS certificate under the test CA
#   codesign.pem/.key        code signing, "Brisklane Test Publisher" (organisation
#                            "Brisklane Test", country NL), under the test CA
#   other.pem other.key      code signing, "Brisklane Other Publisher", under the test CA
#   rogue-ca.pem rogue-ca.key  a second CA that no prefix trusts
#   rogue.pem rogue.key      code signing, the same subject as codesign.pem, under the rogue CA
#   rogue-server.pem/.key    "localhost" TLS certificate under the rogue CA (TLS that
#                            no prefix trusts, while code signing still does)
#   tsa.pem tsa.key          time stamping, "Pathwick Test TSA", under the test CA (tsa.py)
# Idempotent: existing pieces are kept, missing ones are made (a new CA
# remakes everything it signed, a changed subject its certificate).
#   make_certs.sh DIR
set -euo pipefail
dir=${1:?usage: make_certs.sh DIR}
mkdir -p "$dir"
cd "$dir"

# Several build steps may call this at once: one at a time.
exec 9>"$dir/.lock"
flock 9

made=""
make_ca() { # make_ca NAME CN
  [ -s "$1.pem" ] && [ -s "$1.key" ] && return
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 3650 -subj "/CN=$2" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  made="$made $1"
}
make_leaf() { # make_leaf NAME SUBJECT CA EXTENSIONS (SUBJECT as /C=../O=../CN=..)
  if [ -s "$1.pem" ] && [ -s "$1.key" ] && [[ " $made " != *" $3 "* ]] &&
     [ "$(openssl x509 -in "$1.pem" -noout -subject -nameopt compat)" = "subject=$2" ]; then return; fi
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "$2" 2>/dev/null
  printf '%b' "$4" >"$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$3.pem" -CAkey "$3.key" -set_serial "0x$(openssl rand -hex 8)" \
    -out "$1.pem" -days 825 -extfile "$1.ext" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}
codesign_ext='basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n'

make_ca ca "Pathwick Test CA"
make_ca rogue-ca "Pathwick Rogue CA"
publisher="/C=NL/O=Brisklane Test/CN=Brisklane Test Publisher"
make_leaf server /CN=localhost ca \
  'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost\n'
make_leaf codesign "$publisher" ca "$codesign_ext"
make_leaf other "/CN=Brisklane Other Publisher" ca "$codesign_ext"
make_leaf rogue "$publisher" rogue-ca "$codesign_ext"
make_leaf rogue-server /CN=localhost rogue-ca \
  'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost\n'
make_leaf tsa "/CN=Pathwick Test TSA" ca \
  'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=critical,timeStamping\n'
echo "certs: test PKI in $dir"
