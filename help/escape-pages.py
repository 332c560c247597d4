#!/usr/bin/env python3
"""Copies the help pages from SOURCE to STAGE for the help compiler, every
character outside ASCII in an .html page written as a decimal character
reference (&#12467;). The pages are written in UTF-8, but HTML Help reads
a compiled file in its language's ANSI code page in places, so the compiled
pages hold ASCII only and show their Japanese text whatever code page the
viewer assumes. (Decimal, since parts of HTML Help know no hexadecimal form.)

Usage: escape-pages.py SOURCE STAGE
"""
import os
import re
import shutil
import sys

source, stage = sys.argv[1:3]
os.makedirs(stage, exist_ok=True)
for name in os.listdir(source):
    if name.lower().endswith(".html"):
        with open(os.path.join(source, name), encoding="utf-8") as f:
            text = re.sub(r"[^\x00-\x7f]", lambda m: f"&#{ord(m.group())};", f.read())
        with open(os.path.join(stage, name), "w", encoding="ascii", newline="") as f:
            f.write(text)
    else:
        shutil.copy(os.path.join(source, name), stage)
