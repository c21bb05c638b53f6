#!/usr/bin/python3
"""A loopback front for a CalDAV server that serves below /dav/, as a web server puts one.

Usage: dav-front.py PORT BACKEND_PORT WELL_KNOWN_LOCATION

/.well-known/caldav answers 301 to WELL_KNOWN_LOCATION; everything below /dav/ is passed to
the server on 127.0.0.1:BACKEND_PORT as it came; every other path answers 405, so the root does
not speak WebDAV. Prints "ready" once it listens.
"""
import http.client
import http.server
import sys

port, backend, well_known = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]


class Front(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def __getattr__(self, name):
        if name.startswith("do_"):
            return self.relay
        raise AttributeError(name)

    def answer(self, status, headers, body=b""):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def relay(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        if self.path == "/.well-known/caldav":
            return self.answer(301, [("Location", well_known)])
        if not self.path.startswith("/dav/"):
            return self.answer(405, [("Allow", "GET")])
        server = http.client.HTTPConnection("127.0.0.1", backend, timeout=10)
        headers = {k: v for k, v in self.headers.items() if k.lower() != "connection"}
        server.request(self.command, self.path, body, headers)
        reply = server.getresponse()
        passed = [(k, v) for k, v in reply.getheaders()
                  if k.lower() not in ("connection", "content-length", "transfer-encoding")]
        self.answer(reply.status, passed, reply.read())

    def log_message(self, *args):
        pass


front = http.server.ThreadingHTTPServer(("127.0.0.1", port), Front)
print("ready", flush=True)
front.serve_forever()
