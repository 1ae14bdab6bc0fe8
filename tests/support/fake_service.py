#!/usr/bin/env python3
"""A stand-in for the maker's web service: serves its paths and records every request.

Started by tests on 127.0.0.1 with a free port; prints "PORT <n>" once it listens.
GET /__requests answers the recorded requests as JSON (method, path, headers, body in hex).
Options: --version-body TEXT, --recent-body TEXT, --delay-ms N (delay before each answer),
--offered NAMES and --broken NAMES (comma-separated templates offered under /templates/; the
broken ones are listed but answer 500).
"""
import argparse
import json
import sys
import threading
import time
from html import escape
from urllib.parse import parse_qsl, unquote
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


# A 1x1 GIF, as a thumbnail.
TINY_GIF = bytes.fromhex("47494638396101000100800000ffffff00000021f90401000000002c00000000010001000002024401003b")


def offered_page(names):
    rows = "".join(
        '<li><label><input type="checkbox" name="template" value="%s"> %s</label> '
        '<a href="<$bigview-%s$>">Large view</a> <a href="<$getimporttemplate-%s$>">Get it now</a></li>'
        % (escape(n), escape(n), escape(n), escape(n)) for n in names)
    return ("<html><head><title>Offered templates</title></head><body>"
            "<h2>Templates offered</h2><form name=offered><ul>%s</ul></form></body></html>" % rows)


def offered_template(name):
    return ("<!DOCTYPE html><html><head><meta charset=utf-8><title><$VellumitePageTitle$></title>"
            "<style>#title { color: black; }</style></head><body><h1 id=title><$VellumiteLogTitle$></h1>"
            "<p>Offered template %s</p><VellumitePostBlock><h2><$VellumitePostTitle$></h2>"
            "<$VellumitePostBody$></VellumitePostBlock></body></html>" % escape(name))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version-body", default="<html><body><p id=version>Vellumite 9.9 is out.</p></body></html>")
    parser.add_argument("--recent-body", default="<html><body><ul id=recent><li>A fresh site</li></ul></body></html>")
    parser.add_argument("--delay-ms", type=int, default=0)
    parser.add_argument("--offered", default="fresh,bright")
    parser.add_argument("--broken", default="")
    args = parser.parse_args()
    offered = [n for n in args.offered.split(",") if n]
    broken = [n for n in args.broken.split(",") if n]

    lock = threading.Lock()
    recorded = []

    class Handler(BaseHTTPRequestHandler):
        def log_message(self, *a):
            pass

        def answer(self, status, body, ctype="text/html; charset=utf-8"):
            data = body if isinstance(body, bytes) else body.encode("utf-8")
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
            elif path.startswith("/templates/"):
                self.templates_route(unquote(path[len("/templates/"):]))
            elif path.startswith("/help/") or path.startswith("/forum/"):
                self.answer(200, "<html><title>Help</title><body><h1>Help for %s</h1></body></html>" % path)
            else:
                self.answer(404, "<html><body>no such page</body></html>")

        def templates_route(self, name):
            """The offered templates: their list, each one's HTML and thumbnail."""
            if name == "importtemplates.html":
                self.answer(200, offered_page(offered + broken))
            elif name.endswith(".html") and name[:-5] in broken or name.endswith(".gif") and name[:-4] in broken:
                self.answer(500, "<html><body>broken</body></html>")
            elif name.endswith(".html") and name[:-5] in offered:
                self.answer(200, offered_template(name[:-5]))
            elif name.endswith(".gif") and name[:-4] in offered:
                self.answer(200, TINY_GIF, "image/gif")
            else:
                self.answer(404, "<html><body>no such template</body></html>")

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
