#!/usr/bin/env python3
"""Checks a compiled Help.chm: every topic that the program opens is in it,
every page in it parses as balanced HTML, and every link between the pages
leads to a page that exists. The program cannot tell whether a topic opened
(the viewer reports a missing page itself), so this is the only guard.

Usage: check-help.py HELP.CHM FIXED-TEXTS.TSV
The topics are the lines of FIXED-TEXTS.TSV whose key starts with "topic_".
"""
import html.parser
import os
import posixpath
import subprocess
import sys
import tempfile

VOID = {"br", "hr", "img", "input", "link", "meta", "param", "area", "base",
        "col"}
# Tags whose end tag HTML lets a page leave out.
OPTIONAL_END = {"li", "p", "td", "th", "tr", "option", "dt", "dd"}


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.stack, self.errors, self.links, self.title = [], [], [], ""
        self._in_title = False

    def handle_starttag(self, tag, attrs):
        if tag in VOID:
            return
        self.stack.append(tag)
        self._in_title = tag == "title"
        for name, value in attrs:
            if name in ("href", "src") and value:
                self.links.append(value)

    def handle_startendtag(self, tag, attrs):
        for name, value in attrs:
            if name in ("href", "src") and value:
                self.links.append(value)

    def handle_endtag(self, tag):
        self._in_title = False
        if tag in VOID:
            return
        while self.stack and self.stack[-1] != tag and \
                self.stack[-1] in OPTIONAL_END:
            self.stack.pop()
        if not self.stack or self.stack[-1] != tag:
            self.errors.append(f"</{tag}> closes <{self.stack[-1] if self.stack else 'nothing'}>")
            return
        self.stack.pop()

    def handle_data(self, data):
        if self._in_title:
            self.title += data


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    chm, fixed = sys.argv[1], sys.argv[2]
    failures = []
    topics = []
    with open(fixed, encoding="utf-8") as f:
        for line in f:
            key, _, text = line.rstrip("\n").partition("\t")
            if key.startswith("topic_"):
                topics.append(text)
    if not topics:
        sys.exit(f"no topic_ lines in {fixed}")

    listing = subprocess.run(["chmls", "-p", "-n", "list", chm], check=True,
                             stderr=subprocess.PIPE,
                             stdout=subprocess.PIPE, text=True).stdout
    names = {line.strip() for line in listing.splitlines() if line.startswith("/")}
    for topic in topics:
        if not topic.startswith("::/"):
            failures.append(f"{topic}: not of the form ::/path")
            continue
        if topic[2:] not in names:
            failures.append(f"{topic}: no page {topic[2:]} in {chm}")

    with tempfile.TemporaryDirectory() as out:
        subprocess.run(["chmls", "extractall", chm, out], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        pages = sorted(n for n in names if n.lower().endswith(".html"))
        for name in pages:
            with open(os.path.join(out, name.lstrip("/")), encoding="utf-8") as f:
                text = f.read()
            page = Page()
            page.feed(text)
            page.close()
            for e in page.errors:
                failures.append(f"{name}: {e}")
            left = [t for t in page.stack if t not in OPTIONAL_END]
            if left:
                failures.append(f"{name}: unclosed {left}")
            if not page.title.strip():
                failures.append(f"{name}: no title")
            for link in page.links:
                if "://" in link or link.startswith(("mailto:", "#")):
                    continue
                target = posixpath.normpath(posixpath.join(
                    posixpath.dirname(name), link.split("#")[0]))
                if target not in names:
                    failures.append(f"{name}: link to missing {target}")

    for line in failures:
        print(line)
    print(f"help: {len(topics)} topics, {len(names)} entries:",
          "FAILED" if failures else "ok")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
