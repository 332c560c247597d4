#!/usr/bin/env python3
"""Checks a compiled Help.chm against the program's sources: every topic that
the program opens is in it; every page is well-formed, 7-bit ASCII (its
Japanese as character references), titled, and holds an English section and
then a Japanese one, with a link at its top to the Japanese; every finding
code has its explanation, in both sections, on the page of each notice that
can show it; every link of the pages, the contents and the index leads to a
page, and an anchor, that exist. The program cannot tell whether a topic
opened (the viewer reports a missing page itself), so this is the only guard.

Usage: check-help.py HELP.CHM SOURCE-ROOT
The topics are the "::/HTML/..." texts of ui/help_launcher.h; the finding
codes and their notices are the rows of findings/finding_codes.h.
"""
import html.parser
import os
import posixpath
import re
import subprocess
import sys
import tempfile

VOID = {"br", "hr", "img", "input", "link", "meta", "param", "area", "base",
        "col"}
# Tags whose end tag HTML lets a page leave out.
OPTIONAL_END = {"li", "p", "td", "th", "tr", "option", "dt", "dd"}
# The notices that show findings, and the page that each opens on Yes.
NOTICE_PAGE = {"1": "/HTML/T150CNT_CHANGE.html", "4": "/HTML/T922SCN.html",
               "5": "/HTML/T110NOT_FOUND.html", "6": "/HTML/T120MULTIPUL.html"}
KANA = re.compile("[\u3040-\u30ff]")


class Page(html.parser.HTMLParser):
    """One page: its open elements with their language, the errors of its
    nesting, its links (and the first link's target), its ids with their
    language, its sections' languages and each language's text."""

    def __init__(self):
        super().__init__()
        self.stack, self.errors, self.links, self.title = [], [], [], ""
        self.ids, self.sections, self.text, self.jump = {}, [], {}, None

    def lang(self):
        return self.stack[-1][1] if self.stack else None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        for name in ("href", "src"):
            if a.get(name):
                self.links.append(a[name])
        if tag == "a" and self.jump is None:
            self.jump = a.get("href")
        if tag == "param" and (a.get("name") or "").lower() == "local":
            self.links.append(a.get("value") or "")
        lang = a.get("lang") or self.lang()
        if tag == "div" and "lang" in a:
            self.sections.append(lang)
        if "id" in a:
            if a["id"] in self.ids:
                self.errors.append(f"id {a['id']} twice")
            self.ids[a["id"]] = lang
        if tag not in VOID:
            self.stack.append((tag, lang))

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.stack.pop()

    def handle_endtag(self, tag):
        if tag in VOID:
            return
        while self.stack and self.stack[-1][0] != tag and \
                self.stack[-1][0] in OPTIONAL_END:
            self.stack.pop()
        if not self.stack or self.stack[-1][0] != tag:
            self.errors.append(f"</{tag}> closes <{self.stack[-1][0] if self.stack else 'nothing'}>")
            return
        self.stack.pop()

    def handle_data(self, data):
        if self.stack and self.stack[-1][0] == "title":
            self.title += data
        self.text[self.lang()] = self.text.get(self.lang(), "") + data


def source(root, path, pattern):
    with open(os.path.join(root, path), encoding="utf-8") as f:
        found = re.findall(pattern, f.read())
    if not found:
        sys.exit(f"nothing found in {path}")
    return found


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    chm, root = sys.argv[1], sys.argv[2]
    topics = source(root, "ui/help_launcher.h", r'"::(/HTML/[^"]+)"')
    numbers = dict(source(root, "findings/finding_codes.h", r"(k\w+) = (\d+),"))
    codes = [(code, " ".join(numbers[n] for n in re.findall(r"Notice::(k\w+)", notices)))
             for code, notices in source(root, "findings/finding_codes.h",
                                         r'X\(\w+,\s*"([^"]+)",\s*Notices\(([^)]*)\)\)')]
    failures = []

    listing = subprocess.run(["chmls", "-p", "-n", "list", chm], check=True,
                             stderr=subprocess.PIPE,
                             stdout=subprocess.PIPE, text=True).stdout
    names = {line.strip() for line in listing.splitlines() if line.startswith("/")}
    failures += [f"::{t}: no such page in {chm}" for t in topics if t not in names]

    pages = {}
    with tempfile.TemporaryDirectory() as out:
        subprocess.run(["chmls", "extractall", chm, out], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for name in sorted(n for n in names if n.lower().endswith((".html", ".hhc", ".hhk"))):
            with open(os.path.join(out, name.lstrip("/")), "rb") as f:
                data = f.read()
            if any(b > 127 for b in data):
                failures.append(f"{name}: not 7-bit ASCII")
            page = pages[name] = Page()
            page.feed(data.decode("utf-8", "replace"))
            page.close()
            failures += [f"{name}: {e}" for e in page.errors]
            left = [t for t, _ in page.stack if t not in OPTIONAL_END]
            if left:
                failures.append(f"{name}: unclosed {left}")
            if not name.endswith(".html"):
                continue
            if not page.title.strip():
                failures.append(f"{name}: no title")
            if page.sections != ["en", "ja"] or page.jump != "#ja" \
                    or page.ids.get("ja") != "ja":
                failures.append(f"{name}: not a link to #ja, an English section, "
                                f"then a Japanese one with id ja: {page.sections}")
            if not KANA.search(page.text.get("ja", "")):
                failures.append(f"{name}: Japanese section without Japanese")

    for code, notices in codes:
        for notice in notices.split():
            name = NOTICE_PAGE.get(notice)
            ids = pages[name].ids if name in pages else {}
            for anchor, lang in ((code, "en"), ("ja-" + code, "ja")):
                if ids.get(anchor) != lang:
                    failures.append(f"{name or 'notice ' + notice}: no {lang} "
                                    f"explanation #{anchor} of {code}")

    for name, page in pages.items():
        for link in page.links:
            if "://" in link or link.startswith("mailto:"):
                continue
            path, _, anchor = link.partition("#")
            target = posixpath.normpath(posixpath.join(
                posixpath.dirname(name), path)) if path else name
            if target not in names:
                failures.append(f"{name}: link to missing {target}")
            elif anchor and anchor not in pages.get(target, Page()).ids:
                failures.append(f"{name}: link to missing {target}#{anchor}")

    for line in failures:
        print(line)
    print(f"help: {len(topics)} topics, {len(codes)} findings, {len(pages)} pages:",
          "FAILED" if failures else "ok")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
