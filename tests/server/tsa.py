#!/usr/bin/env python3
"""RFC 3161 time-stamp authority of the tests, over plain HTTP on loopback.

  tsa.py --pki DIR --state DIR [--port 0] [--port-file FILE] [--time-limit SECONDS]

POST / with a time-stamp query (application/timestamp-query) answers with
the reply of `openssl ts -reply`, signed by DIR/tsa.pem and DIR/tsa.key
(make_certs.sh: "Pathwick Test TSA" under the test CA, whose certificate
DIR/ca.pem goes into the reply's chain). A query openssl refuses gets 400.
Its configuration and serial number file are written to the --state folder.
Binds 127.0.0.1 only, prints "PORT <n>" once it listens (and writes <n> to
--port-file), and stops by itself after --time-limit seconds.
"""
import argparse
import os
import subprocess
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

QUERY_MAX = 64 * 1024

CONFIG = """[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = {serial}
crypto_device = builtin
signer_digest = sha256
default_policy = 1.3.6.1.4.1.4146.2.3
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = yes
ess_cert_id_chain = no
ess_cert_id_alg = sha256
"""


class Handler(BaseHTTPRequestHandler):
    def log_message(self, fmt, *args):
        sys.stderr.write("tsa: %s\n" % (fmt % args))

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length <= 0 or length > QUERY_MAX:
            return self.answer(400, b"", "text/plain")
        query = self.rfile.read(length)
        pki = self.server.pki
        with self.server.lock:
            done = subprocess.run(
                ["openssl", "ts", "-reply", "-config", self.server.config, "-queryfile", "/dev/stdin",
                 "-signer", os.path.join(pki, "tsa.pem"), "-inkey", os.path.join(pki, "tsa.key"),
                 "-chain", os.path.join(pki, "ca.pem"), "-out", "/dev/stdout"],
                input=query, capture_output=True)
        if done.returncode != 0 or not done.stdout:
            sys.stderr.write("tsa: openssl ts -reply failed: %s\n" % done.stderr.decode(errors="replace"))
            return self.answer(400, b"", "text/plain")
        self.answer(200, done.stdout, "application/timestamp-reply")

    def answer(self, status, body, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--pki", required=True)
    ap.add_argument("--state", required=True)
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--port-file")
    ap.add_argument("--time-limit", type=float, default=600)
    args = ap.parse_args()

    state = args.state
    os.makedirs(state, exist_ok=True)
    config = os.path.join(state, "tsa.cnf")
    with open(config, "w") as f:
        f.write(CONFIG.format(serial=os.path.join(state, "serial")))
    with open(os.path.join(state, "serial"), "w") as f:
        f.write("01\n")

    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.pki = os.path.abspath(args.pki)
    server.config = config
    server.lock = threading.Lock()   # one reply at a time: they share the serial file
    port = server.server_address[1]
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.port_file + ".tmp", args.port_file)
    print("PORT %d" % port, flush=True)
    timer = threading.Timer(args.time_limit, lambda: os._exit(0))
    timer.daemon = True
    timer.start()
    server.serve_forever(poll_interval=0.2)


if __name__ == "__main__":
    main()
