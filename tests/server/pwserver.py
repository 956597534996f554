#!/usr/bin/env python3
"""Local HTTP/HTTPS test server for the network tests, the benchmark and the demo.

Serves TLS and plain HTTP on ONE loopback port: the first byte of every
connection decides (0x16 starts a TLS handshake). Binds 127.0.0.1 only and
stops by itself after --time-limit seconds.

  pwserver.py --root DIR [--port 0] [--cert PEM --key PEM | --no-tls]
              [--port-file FILE] [--hits-file FILE] [--rate BYTES_PER_S]
              [--time-limit SECONDS] [--faults QUERY] [--verbose]

Prints "PORT <n>" on standard output once it listens (and writes <n> to
--port-file). Paths:

  /files/<name>    a file below --root; single byte ranges ("bytes=a-b"),
                   ETag and Last-Modified, If-Range (a validator that does not
                   match the file gives 200 and the whole file); a missing
                   file is a 404 page with a body. Fault switches in the
                   query (combine freely):
                     norange=1   ignore the Range header (200, whole file)
                     cut=1       cut the connection halfway through the body
                     cutafter=B  cut the connection after B bytes of any body
                     short=1     send only the first half, with a matching length
                     failfirst=N the first N requests of each (tag, path, range)
                                 are cut halfway; count by tag=<text>
                     failstatus=S  those N requests get status S instead
                     retryafter=V  error statuses carry "Retry-After: V"
                     status=S    every request gets status S and a small page (a 407
                                 asks for a sign-in: "Proxy-Authenticate: Basic
                                 realm=..." and "Proxy-Authenticate: NTLM")
                     rangestatus=S  every request with a Range header gets S
                     badrange=1  a 206 names a range one byte further on
                     nolength=1  no Content-Length (body ends with the connection)
                     chunked=1   no Content-Length, the body in chunked encoding
                     headstatus=S  a HEAD gets status S (405: HEAD refused)
                     rate=B      throttle this response to B bytes per second
                     failagent=S cut the connection when the request carries a
                                 User-Agent header equal to S ("-" = absent,
                                 "" = empty)
                     redirect=U  answer 302 with "Location: U"
                     swapto=F    a file that changes after its first answer:
                                 every later request of the same tag and path
                                 is served from F instead
                   Faults of time (a file is one tag and path; each answer
                   counts its body bytes, see /requests):
                     stall=1     send the headers, then nothing: the connection
                                 stays open until the client closes it
                     trickle=N   one byte every N seconds (N may be a fraction)
                     at=B        stall, trickle and rate act on one answer only,
                                 the first to reach byte B, from that byte on
                     times=N     ... on the first N answers (all without at=);
                                 a faulted answer's /requests entry says "fault"
                     down=S      once downafter=B (1 MiB) body bytes of the file
                                 are sent, every answer in progress is cut and
                                 the port refuses connections for S seconds
                                 (the listening socket is closed; a request on
                                 an open connection is dropped); then it serves
                     downmode=M  what the port does meanwhile: refuse (the
                                 default, as above), drop (it accepts, reads
                                 the request and closes without an answer) or
                                 mix (every other request dropped, the others
                                 answered 502, as a proxy whose upstream is out)
                     fail_after=N  once N body bytes of the file are sent,
                                 every answer in progress is cut, the flag file
                                 (flagfile=PATH, default <root>/fail_after.flag)
                                 is created, and every file request gets 503
                                 until the flag file is removed; once only
                     failrange=B range requests whose range holds byte B get
                                 failstatus (404 without) while the flag file
                                 (flagfile=PATH, default <root>/failrange.flag)
                                 exists
                     failafterstatus=S  the status fail_after= answers (503)
                     noifrange=1 a 206 whatever If-Range says (a farm member
                                 that ignores it)
                   --faults QUERY applies switches to every file request (a
                   request's own query wins): "--faults down=20&downafter=8388608"
  /producturl...   a small HTML page (the product's web pages)
  /collect...      analytics endpoint: 200 with an empty body; every hit recorded
  /hits            the recorded analytics hits, one JSON object per line
  /requests        every request seen so far, one JSON object per line
                   (?tag=T keeps those whose query holds tag=T)
  /stats           {"body_bytes": N, "file_requests": N}: file body bytes
                   sent so far, file requests (GET) seen so far; with
                   --stats-file F also written to F five times a second
                   (readable while the port is down)
  Every /requests entry names the credential headers the request carried
  ("auth": "Authorization", "Proxy-Authorization", both, or null).
  Every /requests entry of a file answer also holds "status" and "sent" (its
  body bytes so far) and, when an answer ends, "end" (the time).
"""
import argparse
import json
import mmap
import os
import select
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse
from email.utils import formatdate
from http.server import BaseHTTPRequestHandler

NOT_FOUND_BODY = b"<html><body><h1>404 Not Found</h1><p>The file is not here.</p></body></html>\n"
PRODUCT_PAGE = b"<html><head><title>Pathwick</title></head><body><p>Pathwick by Brisklane</p></body></html>\n"

state_lock = threading.Lock()
hits = []           # analytics hits
requests_seen = []  # every request
fail_counts = {}    # (tag, path, range) -> requests seen
body_bytes = [0]    # file body bytes sent, all connections
file_requests = [0]  # file GET requests
file_sent = {}      # (tag, path) -> body bytes sent
fault_answers = {}  # (tag, path) -> answers given a time fault so far
triggered = set()   # (kind, tag, path) of down= and fail_after= that fired
cut_generation = [0]  # raised to cut every file answer in progress
mix_count = [0]     # requests met by downmode=mix


def record(entry, hit=False, hits_file=None):
    with state_lock:
        requests_seen.append(entry)
        if hit:
            hits.append(entry)
            if hits_file:
                with open(hits_file, "a", encoding="utf-8") as f:
                    f.write(json.dumps(entry) + "\n")


def parse_range(value, size):
    """(first, last) for a single satisfiable range, 'invalid' when the header
    cannot be parsed (it is then ignored), 'unsatisfiable' past the end."""
    if not value:
        return None
    value = value.strip()
    if not value.startswith("bytes="):
        return "invalid"
    ranges = value[6:]
    if "," in ranges or ranges.count("-") != 1:
        return "invalid"
    first, last = ranges.split("-")
    try:
        if first == "":
            n = int(last)
            if n <= 0:
                return "unsatisfiable"
            return (max(0, size - n), size - 1)
        a = int(first)
        b = int(last) if last != "" else size - 1
    except ValueError:
        return "invalid"
    if a < 0 or b < a:
        return "invalid"
    if a >= size:
        return "unsatisfiable"
    return (a, min(b, size - 1))


def stats_text():
    with state_lock:
        return json.dumps({"body_bytes": body_bytes[0], "file_requests": file_requests[0]}) + "\n"


def keep_stats(path):
    while True:
        with open(path + ".tmp", "w") as f:
            f.write(stats_text())
        os.replace(path + ".tmp", path)
        time.sleep(0.2)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "pwserver/1.0"

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("%s %s\n" % (self.scheme, fmt % args))

    def setup(self):
        super().setup()
        self.scheme = "https" if isinstance(self.connection, ssl.SSLSocket) else "http"

    def do_HEAD(self):
        self.handle_any(head=True)

    def do_GET(self):
        self.handle_any(head=False)

    def entry(self, query):
        return {
            "scheme": self.scheme,
            "method": self.command,
            "path": self.path,
            "range": self.headers.get("Range"),
            "if_range": self.headers.get("If-Range"),
            "user_agent": self.headers.get("User-Agent"),
            "auth": ",".join(h for h in ("Authorization", "Proxy-Authorization") if h in self.headers) or None,
            "tag": query.get("tag", [""])[0],
            "time": time.time(),
        }

    def handle_any(self, head):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        path = urllib.parse.unquote(url.path)
        entry = self.entry(query)
        if self.server.is_down():
            self.close_connection = True  # the network is out: no answer
            if self.server.down_mode == "mix":
                with state_lock:
                    mix_count[0] += 1
                    answer = mix_count[0] % 2 == 0
                if answer:
                    self.send_small(502, b"<html><body>502 Bad Gateway</body></html>\n", "text/html", head)
            return
        if path.startswith("/collect"):
            record(entry, hit=True, hits_file=self.server.hits_file)
            return self.send_small(200, b"", "text/plain", head)
        record(entry)
        if path == "/hits":
            with state_lock:
                text = "".join(json.dumps(h) + "\n" for h in hits)
            return self.send_small(200, text.encode(), "application/x-ndjson", head)
        if path == "/requests":
            tag = query.get("tag", [None])[0]
            with state_lock:
                text = "".join(json.dumps(r) + "\n" for r in requests_seen if tag is None or r["tag"] == tag)
            return self.send_small(200, text.encode(), "application/x-ndjson", head)
        if path == "/stats":
            return self.send_small(200, stats_text().encode(), "application/json", head)
        if path.startswith("/producturl"):
            return self.send_small(200, PRODUCT_PAGE, "text/html", head)
        if path.startswith("/files/"):
            merged = dict(self.server.faults)
            merged.update(query)
            return self.send_file(path[len("/files/"):], merged, head, entry)
        return self.send_small(404, NOT_FOUND_BODY, "text/html", head)

    def send_small(self, status, body, ctype, head, extra=()):
        self.send_response(status)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if not head:
            self.wfile.write(body)

    def send_file(self, name, query, head, entry):
        flag = lambda key: query.get(key, ["0"])[0] not in ("", "0")
        redirect = query.get("redirect", [None])[0]
        if redirect:
            return self.send_small(302, b"", "text/plain", head, [("Location", redirect)])
        swap = query.get("swapto", [None])[0]
        if swap:
            key = ("swapto", query.get("tag", [""])[0], name)
            with state_lock:
                count = fail_counts.get(key, 0)
                fail_counts[key] = count + 1
            if count > 0:
                name = swap
        agent = query.get("failagent", [None])[0]
        if agent is not None:
            seen = self.headers.get("User-Agent")
            if (agent == "-" and seen is None) or (agent != "-" and seen == agent):
                self.close_connection = True
                return
        root = os.path.realpath(self.server.root)
        full = os.path.realpath(os.path.join(root, name))
        if not full.startswith(root + os.sep) or not os.path.isfile(full):
            return self.send_small(404, NOT_FOUND_BODY, "text/html", head)
        st = os.stat(full)
        size = st.st_size
        etag = '"%x-%x"' % (st.st_mtime_ns, size)
        last_modified = formatdate(st.st_mtime, usegmt=True)
        retry_after = query.get("retryafter", [None])[0]
        error_extra = [("Retry-After", retry_after)] if retry_after is not None else []
        status_all = int(query.get("status", ["0"])[0] or 0)
        if head and query.get("headstatus"):
            status_all = int(query["headstatus"][0])
        range_status = int(query.get("rangestatus", ["0"])[0] or 0)
        if status_all or (range_status and self.headers.get("Range")):
            code = status_all or range_status
            if code == 407:
                error_extra = error_extra + [("Proxy-Authenticate", 'Basic realm="type your Windows password"'),
                                             ("Proxy-Authenticate", "NTLM")]
            return self.send_small(code, NOT_FOUND_BODY, "text/html", head, error_extra)
        key = (query.get("tag", [""])[0], name)
        fail_after = int(query.get("fail_after", ["0"])[0] or 0)
        flag_file = query.get("flagfile", [os.path.join(root, "fail_after.flag")])[0]
        if fail_after and ("fail_after",) + key in triggered and os.path.exists(flag_file):
            status = int(query.get("failafterstatus", ["503"])[0] or 503)
            return self.send_small(status, b"<html><body>%d</body></html>\n" % status, "text/html",
                                   head, error_extra)
        fail_range = query.get("failrange", [None])[0]
        if fail_range is not None and self.headers.get("Range") and not head:
            rng = parse_range(self.headers.get("Range"), size)
            range_flag = query.get("flagfile", [os.path.join(root, "failrange.flag")])[0]
            if isinstance(rng, tuple) and rng[0] <= int(fail_range) <= rng[1] and os.path.exists(range_flag):
                status = int(query.get("failstatus", ["404"])[0] or 404)
                return self.send_small(status, NOT_FOUND_BODY, "text/html", head)
        failfirst = int(query.get("failfirst", ["0"])[0] or 0)
        failing = False
        if failfirst > 0 and not head:
            key = (query.get("tag", [""])[0], name, self.headers.get("Range"))
            with state_lock:
                count = fail_counts.get(key, 0)
                fail_counts[key] = count + 1
            failing = count < failfirst
        fail_status = int(query.get("failstatus", ["0"])[0] or 0)
        if failing and fail_status:
            return self.send_small(fail_status, NOT_FOUND_BODY, "text/html", head, error_extra)
        rng = None if flag("norange") else parse_range(self.headers.get("Range"), size)
        if_range = self.headers.get("If-Range")
        if (isinstance(rng, tuple) and if_range is not None and if_range.strip() not in (etag, last_modified)
                and not flag("noifrange")):
            rng = None  # the file changed since the validator was taken
        if rng == "unsatisfiable":
            self.send_response(416)
            self.send_header("Content-Range", "bytes */%d" % size)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if isinstance(rng, tuple):
            first, last = rng
            status = 206
        else:
            first, last = 0, size - 1
            status = 200
        length = last - first + 1 if size > 0 else 0

        cut_at = None
        if flag("cut") or failing:
            cut_at = length // 2
        cutafter = int(query.get("cutafter", ["0"])[0] or 0)
        if cutafter > 0 and length > cutafter:
            cut_at = cutafter if cut_at is None else min(cut_at, cutafter)
        declared = length
        if flag("short"):
            length = length // 2
            declared = length
        rate = int(query.get("rate", ["0"])[0] or 0) or self.server.rate

        number = float(query.get("trickle", ["0"])[0] or 0)
        fault = "stall" if flag("stall") else ("trickle" if number > 0 else ("rate" if "rate" in query else None))
        # The fault starts at byte at= of the file (0 without); the answer
        # that reaches it first claims it, so a request that is closed
        # before (a size query) does not use it up.
        at = query.get("at", [None])[0]
        fault_from = int(at) - first if at is not None else 0
        if fault and not 0 <= fault_from < length:
            fault = None
        plan = {
            "fault": fault, "from": fault_from, "trickle": number, "key": key,
            "times": int(query.get("times", ["1" if at is not None else "0"])[0] or 0),
            "down": float(query.get("down", ["0"])[0] or 0),
            "downmode": query.get("downmode", ["refuse"])[0],
            "downafter": int(query.get("downafter", ["1048576"])[0] or 0),
            "fail_after": fail_after, "flagfile": flag_file,
        }
        if fault != "rate":
            rate = self.server.rate
        if not head:
            with state_lock:
                file_requests[0] += 1
                entry["status"] = status
                entry["sent"] = 0

        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("ETag", etag)
        self.send_header("Last-Modified", last_modified)
        if status == 206:
            shift = 1 if flag("badrange") else 0
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first + shift, last + shift, size))
        if flag("nolength"):
            self.send_header("Connection", "close")
            self.close_connection = True
        elif flag("chunked"):
            self.send_header("Transfer-Encoding", "chunked")
        else:
            self.send_header("Content-Length", str(declared))
        self.end_headers()
        if head:
            return
        self.wfile.flush()
        to_send = length if cut_at is None else cut_at
        done = True
        chunked = flag("chunked")
        try:
            if chunked and to_send > 0:
                self.connection.sendall(b"%x\r\n" % to_send)
            if to_send > 0:
                with open(full, "rb") as f, mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as m:
                    view = memoryview(m)[first:first + to_send]
                    try:
                        done = self.send_body(view, rate, plan, entry)
                    finally:
                        view.release()
            if chunked and cut_at is None and done:
                self.connection.sendall(b"\r\n0\r\n\r\n" if to_send > 0 else b"0\r\n\r\n")
        finally:
            with state_lock:
                entry["end"] = time.time()
        if cut_at is not None or not done:
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def send_body(self, view, rate, plan, entry):
        """Sends the body, or part of it: False when a fault cut it."""
        generation = cut_generation[0]
        sent = self.send_part(view, 0, plan["from"] if plan["fault"] else len(view), self.server.rate,
                              plan, entry, generation)
        if sent is None or sent == len(view):
            return sent is not None
        with state_lock:
            count = fault_answers.get(plan["key"], 0)
            claimed = not plan["times"] or count < plan["times"]
            if claimed:
                fault_answers[plan["key"]] = count + 1
        if not claimed:
            return self.send_part(view, sent, len(view), self.server.rate, plan, entry, generation) is not None
        with state_lock:
            entry["fault"] = plan["fault"]
        if plan["fault"] == "stall":
            return self.stall(generation)
        if plan["fault"] == "trickle":
            while sent < len(view):
                if not self.wait(plan["trickle"], generation):
                    return False
                if self.send_part(view, sent, sent + 1, 0, plan, entry, generation) is None:
                    return False
                sent += 1
            return True
        return self.send_part(view, sent, len(view), rate, plan, entry, generation) is not None

    def send_part(self, view, begin, end, rate, plan, entry, generation):
        """Sends view[begin:end] at RATE (0: at once); the offset reached, or
        None when the answer was cut (a fault fired, or the client left)."""
        sock = self.connection
        start = time.monotonic()
        sent = begin
        step = 262144 if rate <= 0 else max(4096, min(262144, rate // 20))
        while sent < end:
            if cut_generation[0] != generation:
                return None
            n = min(step, end - sent)
            fire = None
            with state_lock:
                total = file_sent.get(plan["key"], 0)
                for kind, limit in (("fail_after", plan["fail_after"]), ("down", plan["downafter"])):
                    if kind == "down" and plan["down"] <= 0:
                        continue
                    if limit > 0 and (kind,) + plan["key"] not in triggered and total + n >= limit:
                        n = max(0, limit - total)
                        fire = kind
                        triggered.add((kind,) + plan["key"])
                        break
            if n > 0:
                sock.sendall(view[sent:sent + n])
                sent += n
                with state_lock:
                    body_bytes[0] += n
                    file_sent[plan["key"]] = file_sent.get(plan["key"], 0) + n
                    entry["sent"] = entry.get("sent", 0) + n
            if fire:
                self.fire(fire, plan)
                return None
            if rate > 0:
                delay = start + (sent - begin) / rate - time.monotonic()
                if delay > 0:
                    time.sleep(delay)
        return sent

    def fire(self, kind, plan):
        """A down= or fail_after= threshold was reached: cut every answer."""
        if kind == "fail_after":
            with open(plan["flagfile"], "w") as f:
                f.write("remove this file to let the server answer again\n")
        with state_lock:
            cut_generation[0] += 1
        if kind == "down":
            self.server.go_down(plan["down"], plan["downmode"])
        if self.server.verbose:
            sys.stderr.write("fault %s fired for %s\n" % (kind, "/".join(plan["key"])))

    def wait(self, seconds, generation):
        """Sleeps SECONDS; False when the client closed the connection or the
        answers were cut meanwhile."""
        end = time.monotonic() + seconds
        while True:
            if cut_generation[0] != generation or self.client_left():
                return False
            left = end - time.monotonic()
            if left <= 0:
                return True
            time.sleep(min(0.2, left))

    def stall(self, generation):
        while self.wait(3600, generation):
            pass
        return False

    def client_left(self):
        sock = self.connection
        try:
            ready, _, _ = select.select([sock], [], [], 0)
            if not ready:
                return False
            if isinstance(sock, ssl.SSLSocket) and sock.pending():
                return False
            raw = sock.recv(1, socket.MSG_PEEK) if not isinstance(sock, ssl.SSLSocket) else None
            if raw is None:
                # A TLS socket cannot peek: anything readable while the client
                # waits for its body is its close_notify or its FIN.
                return True
            return raw == b""
        except (OSError, ValueError):
            return True


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128
    down_until = 0.0  # time.monotonic() until which the port refuses connections
    down_mode = "refuse"
    faults = {}

    def is_down(self):
        return time.monotonic() < self.down_until

    def go_down(self, seconds, mode="refuse"):
        """Refuses connections for SECONDS: the listening socket stops at once
        (a shut listening socket resets new connections) and serve() closes it
        and opens a new one when the time is up. Modes drop and mix keep the
        port open and leave the requests to handle_any."""
        self.down_mode = mode
        self.down_until = time.monotonic() + seconds
        if mode != "refuse":
            return
        try:
            self.socket.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def serve(self):
        while True:
            if self.down_until and self.down_mode == "refuse":
                self.socket.close()
                while self.is_down():
                    time.sleep(0.05)
                self.down_until = 0.0
                self.socket = socket.socket(self.address_family, self.socket_type)
                self.server_bind()
                self.server_activate()
            ready, _, _ = select.select([self], [], [], 0.2)
            if ready and not (self.down_until and self.down_mode == "refuse"):
                self._handle_request_noblock()

    def finish_request(self, request, client_address):
        # One port for both schemes: a TLS handshake starts with 0x16.
        try:
            request.settimeout(30)
            first = request.recv(1, socket.MSG_PEEK)
            if not first:
                return
            if first[0] == 0x16:
                if self.tls is None:
                    return  # plain-only: the handshake fails
                request = self.tls.wrap_socket(request, server_side=True)
            request.settimeout(120)
            self.RequestHandlerClass(request, client_address, self)
        except (OSError, ssl.SSLError):
            pass
        finally:
            try:
                request.close()
            except OSError:
                pass


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--root", default=".")
    ap.add_argument("--cert")
    ap.add_argument("--key")
    ap.add_argument("--no-tls", action="store_true")
    ap.add_argument("--port-file")
    ap.add_argument("--stats-file")
    ap.add_argument("--hits-file")
    ap.add_argument("--rate", type=int, default=0)
    ap.add_argument("--time-limit", type=float, default=600)
    ap.add_argument("--faults", default="")
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args()

    server = Server(("127.0.0.1", args.port), Handler)
    server.root = args.root
    server.rate = args.rate
    server.verbose = args.verbose
    server.hits_file = args.hits_file
    server.faults = urllib.parse.parse_qs(args.faults, keep_blank_values=True)
    server.tls = None
    if not args.no_tls:
        if not (args.cert and args.key):
            ap.error("--cert and --key are needed unless --no-tls")
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(args.cert, args.key)
        server.tls = ctx

    port = server.server_address[1]
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.port_file)
    print("PORT %d" % port, flush=True)

    if args.stats_file:
        threading.Thread(target=keep_stats, args=(args.stats_file,), daemon=True).start()
    # Stops by itself whatever happens to whoever started it.
    timer = threading.Timer(args.time_limit, lambda: os._exit(0))
    timer.daemon = True
    timer.start()
    try:
        server.serve()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
