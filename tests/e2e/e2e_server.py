#!/usr/bin/env python3
"""The local test server with the installer's download path added:
"/pathwick/<name>" serves <root>/<name> like "/files/<name>" (ranges and
fault switches included). Options as for pwserver.py."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "server"))
import pwserver  # noqa: E402


class E2EHandler(pwserver.Handler):
    def handle_any(self, head):
        # Requests through a proxy may name the whole URL (Wine's WinHTTP
        # does inside a tunnel too).
        if self.path.startswith(("http://", "https://")):
            self.path = "/" + self.path.split("/", 3)[3]
        if self.path.startswith("/pathwick/"):
            self.path = "/files/" + self.path[len("/pathwick/"):]
        return super().handle_any(head)


pwserver.Handler = E2EHandler

if __name__ == "__main__":
    pwserver.main()
