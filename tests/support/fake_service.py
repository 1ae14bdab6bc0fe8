#!/usr/bin/env python3
"""A stand-in for the maker's web service: serves its paths and records every request.

Started by tests on 127.0.0.1 with a free port; prints "PORT <n>" once it listens.
GET /__requests answers the recorded requests as JSON (method, path, headers, body in hex).
Options: --version-body TEXT, --recent-body TEXT, --delay-ms N (delay before each answer),
--offered NAMES and --broken NAMES (comma-separated templates offered under /templates/; the
broken ones are listed but answer 500), --first-id N (the first new site identifier).
/record_upload.php answers as the service does, with white space around: a new identifier for a
site without one, else "Publish recorded".
The resource manager: /manageResources.php shows the items not yet deleted as check boxes (value
"provider-item-feed") after the user name and password from the query, with the links "<delete>",
"<import>" and "<setTimes>"; "&delete=" list removes items. /export_list.php answers the uploaded
exchange file with one BLAH/NEWSFEED node per item in it. /login.cgi stands for the news-alert
service's login page.
"""
import argparse
import json
import re
import xml.etree.ElementTree as ElementTree
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


MANAGER_ITEMS = ["wire-101-7", "wire-102-7", "desk-201-9"]


def manager_page(query, items):
    boxes = "".join(
        '<li><label><input type="checkbox" name="item%d" value="%s"> Story %s</label></li>'
        % (i, escape(v), escape(v.split("-")[1])) for i, v in enumerate(items))
    return ("<html><head><title>Your news alerts</title></head><body><h2>Your news alerts</h2>"
            "<form name=manager><input type=hidden name=username value=\"%s\">"
            "<input type=hidden name=password value=\"%s\"><ul>%s</ul>"
            "<input type=hidden name=userid value=\"77\"></form>"
            "<form name=timesettings><input name=days value=\"7\"><input name=total value=\"20\"></form>"
            "<p id=webimport></p><p><a href=\"<delete>\">Delete</a> <a href=\"<import>\">Import</a> "
            "<a href=\"<setTimes>\">Set times</a></p></body></html>"
            % (escape(query.get("username", "")), escape(query.get("password", "")), boxes))


def export_answer(upload):
    """The answer to an uploaded exchange file: one NEWSFEED per item, values with "+" for spaces."""
    match = re.search(rb"\r\n\r\n(.*)\r\n--", upload, re.S)
    root = ElementTree.fromstring(match.group(1) if match else b"<import/>")
    feeds = "".join(
        "<NEWSFEED><USERID>%s</USERID><URL>http://news.example/%s</URL><FEEDTITLE>Story+%s</FEEDTITLE>"
        "<SITE_NAME>Bob's+Wire</SITE_NAME><SITE_URL>http://bob.example/</SITE_URL>"
        "<BODYTEXT>Body+of+story+%s</BODYTEXT></NEWSFEED>"
        % (escape(item.findtext("userid") or ""), escape(item.findtext("itemid") or ""),
           escape(item.findtext("itemid") or ""), escape(item.findtext("itemid") or ""))
        for item in root.iter("item"))
    return "<?xml version=\"1.0\"?><BLAH>%s</BLAH>" % feeds


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version-body", default="<html><body><p id=version>Vellumite 9.9 is out.</p></body></html>")
    parser.add_argument("--recent-body", default="<html><body><ul id=recent><li>A fresh site</li></ul></body></html>")
    parser.add_argument("--delay-ms", type=int, default=0)
    parser.add_argument("--offered", default="fresh,bright")
    parser.add_argument("--broken", default="")
    parser.add_argument("--first-id", type=int, default=42)
    args = parser.parse_args()
    next_id = [args.first_id]
    manager_items = list(MANAGER_ITEMS)
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
            elif path == "/record_upload.php":
                query = self.path.split("?", 1)[1] if "?" in self.path else ""
                if "&ID=" in query:
                    self.answer(200, "\r\n  Publish recorded \t\r\n", "text/plain")
                else:
                    with lock:
                        new_id = next_id[0]
                        next_id[0] += 1
                    self.answer(200, " \t%d\r\n\t" % new_id, "text/plain")
            elif path == "/manageResources.php":
                query = dict(parse_qsl(self.path.split("?", 1)[1] if "?" in self.path else ""))
                with lock:
                    for gone in query.get("delete", "").split(","):
                        if gone in manager_items:
                            manager_items.remove(gone)
                    items = list(manager_items)
                self.answer(200, manager_page(query, items))
            elif path == "/setresourcetime.php":
                self.answer(200, "ok", "text/plain")
            elif path == "/login.cgi":
                self.answer(200, "<html><title>News alerts</title><body><h1>Signed in</h1></body></html>")
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
            if self.path == "/export_list.php":
                self.answer(200, export_answer(body), "text/xml")
            else:
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
