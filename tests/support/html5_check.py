#!/usr/bin/python3
"""Checks HTML pages as a browser reads them: each file named on the command line is parsed by
html5lib, and every parse error is printed as "file:line:column: error", as is a page that
lacks what a page of a site needs (a language, the UTF-8 charset, a viewport for phones and a
title). Exits with 1 when anything was printed."""
import sys

import html5lib

NS = "{http://www.w3.org/1999/xhtml}"


def missing_parts(document):
    missing = []
    if not document.get("lang"):
        missing.append("lang on <html>")
    head = document.find(NS + "head")
    metas = head.findall(NS + "meta") if head is not None else []
    if not any((m.get("charset") or "").lower() == "utf-8" for m in metas):
        missing.append('<meta charset="utf-8">')
    if not any(m.get("name") == "viewport" and "width=device-width" in (m.get("content") or "")
               for m in metas):
        missing.append("a viewport <meta> with width=device-width")
    title = head.find(NS + "title") if head is not None else None
    if title is None or not (title.text or "").strip():
        missing.append("a <title> with text")
    return missing


def check(path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        return [f"{path}:0:0: not UTF-8 ({e.reason} at byte {e.start})"]
    parser = html5lib.HTMLParser(strict=False)
    document = parser.parse(text)
    problems = [f"{path}:{line}:{column}: {code} {params or ''}".rstrip()
                for (line, column), code, params in parser.errors]
    problems += [f"{path}:0:0: missing {part}" for part in missing_parts(document)]
    return problems


def main(paths):
    if not paths:
        print("usage: html5_check.py FILE...", file=sys.stderr)
        return 2
    problems = [p for path in paths for p in check(path)]
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
