#!/usr/bin/env python3
"""A stand-in for the maker's web service: serves its paths and records every request.

Started by tests on 127.0.0.1 with a free port; prints "PORT <n>" once it listens.
GET /__requests answers the recorded requests as JSON (method, path, headers, body in hex).
Options: --version-body TEXT, --recent-body TEXT, --delay-ms N (delay before each answer).
"""
import argparse
import json
import sys
import threading
import time
from urllib.parse import parse_qsl
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version-body", default="<html><body><p id=version>Vellumite 9.9 is out.</p></body></html>")
    parser.add_argument("--recent-body", default="<html><body><ul id=recent><li>A fresh site</li></ul></body></html>")
    parser.add_argument("--delay-ms", type=int, default=0)
    args = parser.parse_args()

    lock = threading.Lock()
    recorded = []

    class Handler(BaseHTTPRequestHandler):
        def log_message(self, *a):
            pass

        def answer(self, status, body, ctype="text/html; charset=utf-8"):
            data = body.encode("utf-8")
            self.send_response(status)
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def record(self, body=b""):
            with lock:
                recorded.append({
                    "method": self.command,
                    "path": self.path,
                    "headers": {k.lower(): v for k, v in self.headers.items()},
                    "bodyHex": body.hex(),
                })

        def do_GET(self):
            if self.path == "/__requests":
                with lock:
                    self.answer(200, json.dumps(recorded), "application/json")
                return
            if not self.path.startswith("/page.html"):
                self.record()
            if args.delay_ms:
                time.sleep(args.delay_ms / 1000)
            path = self.path.split("?")[0]
            if path == "/page.html":
                # A page of another origin, for the tests of what such a page cannot do.
                query = dict(parse_qsl(self.path.split("?", 1)[1] if "?" in self.path else ""))
                self.answer(200, query.get("html", ""))
            elif path == "/versioninfonew.html":
                self.answer(200, args.version_body)
            elif path == "/recentlyupdatedClient.php":
                self.answer(200, args.recent_body)
            elif path.startswith("/help/") or path.startswith("/forum/"):
                self.answer(200, "<html><title>Help</title><body><h1>Help for %s</h1></body></html>" % path)
            else:
                self.answer(404, "<html><body>no such page</body></html>")

        def do_POST(self):
            length = int(self.headers.get("Content-Length") or 0)
            body = self.rfile.read(length)
            self.record(body)
            self.answer(200, "Publish recorded", "text/plain")

    class Server(ThreadingHTTPServer):
        def handle_error(self, request, client_address):
            pass  # a client that hung up early is no news

    server = Server(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print("PORT %d" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
