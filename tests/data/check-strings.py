#!/usr/bin/env python3
"""Guards the expected-texts file itself. The table tests compare both
string tables with strings.tsv byte for byte, so a blank that an editor
strips or a tab that turns into spaces here would make them check the wrong
text. This holds the file to the facts about the texts that are easy to
lose: the trailing and doubled blanks, the ideographic space, the line-feed
escapes, the set of identifiers.

Usage: check-strings.py strings.tsv
"""
import sys

IDS = [103, 104, 105, 110, 111, 113, 114, 115, 116, 117, 118, 119, 120, 121,
       123, 124, 125, 126, 127, 128, 136, 137, 138, 140, 141, 142, 146, 147,
       148, 149, 150, 151, 152, 153, 155, 156, 157, 158]


def main():
    path = sys.argv[1]
    failures = []
    raw = open(path, "rb").read()
    if b"\r" in raw:
        failures.append("carriage return in the file")
    if raw.startswith(b"\xef\xbb\xbf"):
        failures.append("byte-order mark at the start")
    rows = {}
    for n, line in enumerate(raw.decode("utf-8").split("\n"), 1):
        if not line or line.startswith("#"):
            continue
        cols = line.split("\t")
        if len(cols) != 3:
            failures.append(f"line {n}: {len(cols)} columns, want 3")
            continue
        if not cols[0].isdigit() or int(cols[0]) in rows:
            failures.append(f"line {n}: bad or repeated id {cols[0]!r}")
            continue
        rows[int(cols[0])] = (cols[1], cols[2])
    if sorted(rows) != IDS:
        failures.append(f"ids {sorted(rows)}, want {IDS}")

    def want(i, lang, test, what):
        if i in rows and not test(rows[i][lang]):
            failures.append(f"{i} {'English' if lang == 0 else 'Japanese'}: {what}: {rows[i][lang]!r}")

    want(119, 0, lambda t: t.endswith(": ") and not t.endswith("  "), "ends in one blank")
    want(147, 0, lambda t: t.endswith(":   ") and not t.endswith("    "), "ends in three blanks")
    want(147, 1, lambda t: t.endswith("            : "), "pads to its colon, ends in a blank")
    want(120, 0, lambda t: "temporary.  Would" in t, "two blanks before Would")
    want(146, 1, lambda t: "\u3000" in t and " " not in t, "ideographic space, no ASCII blank")
    want(126, 0, lambda t: t.startswith("\\n     Converter") and "detected. \\n     Do" in t,
         "leading line feed and indentation")
    want(126, 1, lambda t: not t.startswith("\\n") and not t.startswith(" "), "no leading line feed")
    want(124, 0, lambda t: "detected. \\nDo" in t, "blank before the line feed")
    want(152, 1, lambda t: t.endswith("(TCP/IP)の設定: ") and "\\n\\n" in t, "blank line and label")
    want(153, 1, lambda t: t.endswith(" : "), "ends in ' : '")
    want(158, 0, lambda t: t.count("\\n") == 3, "three line feeds")
    want(117, 1, lambda t: t == "はい", "Yes")
    want(118, 1, lambda t: t == "いいえ", "No")
    for i, (en, ja) in rows.items():
        for lang, t in ((0, en), (1, ja)):
            if not t:
                failures.append(f"{i}: empty text")
            stripped = t.replace("\\n", "")
            if "\\" in stripped:
                failures.append(f"{i}: backslash other than \\n: {t!r}")
            if "\t" in t:
                failures.append(f"{i}: tab in text")
    for f in failures:
        print(f)
    print(f"strings: {len(rows)} ids:", "FAILED" if failures else "ok")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
