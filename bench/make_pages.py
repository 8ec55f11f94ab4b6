#!/usr/bin/env python3
"""Writes synthetic search result pages: HTML tables of rows with Chinese
names, sizes and magnet links, in the markup the row pattern expects.

Kinds:
  normal     rows one per line inside ordinary HTML
  minified   the same page with every line break removed
  fragments  one line of row fragments that never reach "Detail</a>"
  mixed      good rows, each on its own line, mixed with long lines of
             broken fragments (a backtracking engine's worst case)

The page is written as UTF-8 (or code page 936 with --encoding gbk) and the
number of good rows it holds is printed on standard output.

Examples:
  make_pages.py --kind normal --size 1000000 --out page.html
  make_pages.py --kind mixed --size 10000000 --encoding gbk --out big.html
  make_pages.py --kind normal --rows 50 --encoding gbk --out small.html
"""

import argparse
import random
import sys

HEAD = """<!DOCTYPE html>
<html>
<head>
<meta charset="utf-8">
<title>搜索结果 - 种子搜索</title>
<style>td { padding: 2px 6px; } .name { width: 60%; }</style>
</head>
<body>
<div class="header"><a href="/">首页</a> | <a href="/top">排行榜</a></div>
<table class="results">
<tr><th>名称</th><th>大小</th><th>日期</th><th>链接</th></tr>
"""

TAIL = """</table>
<div class="pager"><a href="?p=1">上一页</a> <a href="?p=3">下一页</a></div>
<div class="footer">共找到资源，仅供测试。</div>
</body>
</html>
"""

# Common characters of GB2312's first level, all present in code page 936.
CHINESE = (
    "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会"
    "可主发年动同工也能下过子说产种面而方后多定行学法所民得经十三之进着等部度"
    "家电力里如水化高自二理起小物现实加量都两体制机当使点从业本去把性好应开它"
    "合还因由其些然前外天政四日那社义事平形相全表间样与关各重新线内数正心反你"
    "明看原又么利比或但质气第向道命此变条只没结解问意建月公无系军很情者最立代"
)
TAGS = ["高清", "中字", "无码", "完整版", "合集", "1080p", "4K", "HD"]
UNITS = ["KB", "MB", "GB"]


def name(rng):
    code = "%s-%03d" % ("".join(rng.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ")
                                for _ in range(rng.randint(3, 5))),
                        rng.randint(1, 999))
    words = "".join(rng.choice(CHINESE) for _ in range(rng.randint(8, 22)))
    return "%s %s [%s]" % (code, words, rng.choice(TAGS))


def size(rng):
    return "%.1f %s" % (rng.uniform(1, 999), rng.choice(UNITS))


def btih(rng):
    return "%040x" % rng.getrandbits(160)


def row(rng):
    h = btih(rng)
    return ('<tr><td class="name">%s</td><td class="size">%s</td>'
            '<td class="date">2024-%02d-%02d</td><td><a href="/detail/%s">'
            'Detail</a><a href="magnet:?xt=urn:btih:%s&dn=%s" title="磁力链接">'
            '磁力</a></td></tr>\n'
            % (name(rng), size(rng), rng.randint(1, 12), rng.randint(1, 28),
               h, h, h[:8]))


def fragment(rng):
    """A row that never reaches "Detail</a>": the pattern's first two
    groups find their ends, the third runs on looking for Detail."""
    h = btih(rng)
    return ('<tr><td class="name">%s</td><td class="size">%s</td>'
            '<td class="date">2024-01-01</td><td><a href="/detail/%s">'
            'Info</a><a href="magnet:?xt=urn:btih:%s" title="磁力链接">'
            % (name(rng), size(rng), h, h))


def page(kind, target, rng, row_count=None):
    """Returns (text, good rows) for a page of about `target` UTF-8 bytes,
    or with exactly `row_count` rows (normal and minified pages)."""
    parts = [HEAD]
    length = len(HEAD.encode()) + len(TAIL.encode())
    rows = 0
    if kind in ("normal", "minified"):
        while (rows < row_count) if row_count is not None else (length < target):
            r = row(rng)
            parts.append(r)
            length += len(r.encode())
            rows += 1
    elif kind == "fragments":
        while length < target:
            f = fragment(rng)
            parts.append(f)
            length += len(f.encode())
        parts.append("\n")
    elif kind == "mixed":
        # Ten good rows, then a line of broken fragments about 8 KB long.
        while length < target:
            for _ in range(10):
                r = row(rng)
                parts.append(r)
                length += len(r.encode())
                rows += 1
            line = []
            line_length = 0
            while line_length < 8000:
                f = fragment(rng)
                line.append(f)
                line_length += len(f.encode())
            parts.append("".join(line) + "\n")
            length += line_length + 1
    else:
        raise ValueError("unknown kind " + kind)
    parts.append(TAIL)
    text = "".join(parts)
    if kind == "minified":
        text = text.replace("\r", "").replace("\n", "")
    return text, rows


def main():
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--kind", required=True,
                        choices=["normal", "minified", "fragments", "mixed"])
    parser.add_argument("--size", type=int, default=1_000_000,
                        help="approximate page size in UTF-8 bytes")
    parser.add_argument("--rows", type=int,
                        help="exactly this many rows (normal and minified; "
                             "overrides --size)")
    parser.add_argument("--seed", type=int, default=936)
    parser.add_argument("--encoding", choices=["utf8", "gbk"], default="utf8")
    parser.add_argument("--out", required=True, help="file to write")
    args = parser.parse_args()
    text, rows = page(args.kind, args.size, random.Random(args.seed), args.rows)
    data = text.encode("utf-8" if args.encoding == "utf8" else "gbk")
    with open(args.out, "wb") as out:
        out.write(data)
    print(rows)
    return 0


if __name__ == "__main__":
    sys.exit(main())
