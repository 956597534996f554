#!/usr/bin/env bash
# Makes a throwaway test CA and a server certificate for "localhost" signed by
# it, in the given folder (a build folder: nothing here is ever committed).
# Idempotent: an existing complete set is kept.
#   make_certs.sh DIR  ->  DIR/ca.pem DIR/ca.key DIR/server.pem DIR/server.key
set -euo pipefail
dir=${1:?usage: make_certs.sh DIR}
mkdir -p "$dir"
cd "$dir"
if [ -s ca.pem ] && [ -s server.pem ] && [ -s server.key ]; then
  exit 0
fi
rm -f ca.pem ca.key server.pem server.key server.csr ca.srl
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 \
  -subj "/CN=Pathwick Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/CN=localhost" 2>/dev/null
cat > server.ext <<'EXT'
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost
EXT
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 825 \
  -extfile server.ext 2>/dev/null
rm -f server.csr server.ext ca.srl
echo "certs: test CA and localhost certificate in $dir"
