#!/usr/bin/env python3
"""The bundled demo search site, served on 127.0.0.1 only.

GET /search/<code>/ answers with the result page for <code>; every page's
rows fit the program's row pattern. Codes:

  ABC-123   three rows, UTF-8, charset declared in the first 500 bytes
  GBK-936   two rows, a native code page 936 (GBK) page
  ENT-001   two rows whose names hold HTML character references
  NONE-000  a page without rows (any unknown code gives one too)
  BIG-4000  4,000 rows, about 1 MB of UTF-8, charset in the header

With --port 0 the system picks the port. The first line on standard output
is always "serving on 127.0.0.1:<port>", so a caller can wait for it.
With --page <code> nothing is served: the page's body and its Content-Type
go to standard output and standard error (for benchmarks).
"""

import argparse
import hashlib
import http.server
import os
import re
import sys
import urllib.parse

PAGES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pages")

# code -> (file under pages/, Content-Type)
STATIC = {
    "ABC-123": ("ABC-123.html", "text/html"),
    "GBK-936": ("GBK-936.html", "text/html; charset=gbk"),
    "ENT-001": ("ENT-001.html", "text/html"),
    "NONE-000": ("NONE-000.html", "text/html"),
}
BIG_CODE = "BIG-4000"
BIG_ROWS = 4000

NAMES = ["演示影片", "高清版", "第一季", "花絮", "导演剪辑", "特别篇",
         "原声", "幕后", "完整版", "预告"]


def row(number, name, size, link):
    return (
        f'<tr><td class="name">{name}</td><td class="size">{size}</td>'
        f'<td class="date">2024-05-{number % 28 + 1:02d}</td>'
        f'<td class="links"><a href="/detail/{number}/">Detail</a>'
        f'<a href="{link}" title="Magnet link">Magnet</a></td></tr>\n')


def big_page():
    """A large result page, the same on every run."""
    rows = []
    for i in range(1, BIG_ROWS + 1):
        digest = hashlib.sha1(f"{BIG_CODE}/{i}".encode()).hexdigest()
        name = (f"{BIG_CODE} {NAMES[i % len(NAMES)]} "
                f"{NAMES[(i * 7) % len(NAMES)]} 第{i}部")
        size = f"{(i * 37) % 4000 / 10 + 0.5:.1f} MB"
        link = f"magnet:?xt=urn:btih:{digest}&dn={BIG_CODE}-{i}"
        rows.append(row(i, name, size, link))
    head = (
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
        f"<title>{BIG_CODE} - 演示种子站</title>\n</head>\n<body>\n"
        '<table class="results">\n'
        "<tr><th>名称</th><th>大小</th><th>日期</th><th></th></tr>\n")
    tail = "</table>\n</body>\n</html>\n"
    return (head + "".join(rows) + tail).encode("utf-8")


def page_for(code):
    """The body and Content-Type of the result page for `code`."""
    code = code.strip().upper()
    if code == BIG_CODE:
        if Handler.big is None:
            Handler.big = big_page()
        return Handler.big, "text/html; charset=utf-8"
    name, content_type = STATIC.get(code, STATIC["NONE-000"])
    with open(os.path.join(PAGES, name), "rb") as page:
        return page.read(), content_type


def index_page():
    items = "".join(
        f'<li><a href="/search/{code}/">{code}</a></li>\n'
        for code in list(STATIC) + [BIG_CODE])
    return ("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
            "<title>演示种子站</title></head><body>\n<ul>\n" + items +
            "</ul>\n</body></html>\n").encode("utf-8")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    big = None
    verbose = False

    def do_GET(self):  # noqa: N802 (the library's name)
        path = urllib.parse.unquote_to_bytes(self.path.split("?", 1)[0])
        if path == b"/":
            self.answer(200, "text/html; charset=utf-8", index_page())
            return
        match = re.fullmatch(rb"/search/(.*)/", path, re.DOTALL)
        if not match:
            self.answer(404, "text/plain", b"not found\n")
            return
        body, content_type = page_for(match.group(1).decode("latin-1"))
        self.answer(200, content_type, body)

    def answer(self, status, content_type, body):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def log_message(self, format, *args):  # noqa: A002 (the library's name)
        if Handler.verbose:
            super().log_message(format, *args)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=8936,
                        help="port on 127.0.0.1 (0: any free port)")
    parser.add_argument("--verbose", action="store_true",
                        help="log every request to standard error")
    parser.add_argument("--page", metavar="CODE",
                        help="write this code's page to standard output "
                             "instead of serving")
    args = parser.parse_args()
    if args.page is not None:
        body, content_type = page_for(args.page)
        sys.stdout.buffer.write(body)
        print(content_type, file=sys.stderr)
        return 0
    Handler.verbose = args.verbose
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    print(f"serving on 127.0.0.1:{server.server_address[1]}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
