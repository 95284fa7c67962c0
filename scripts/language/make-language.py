#!/usr/bin/env python3
"""Builds the shipped language files in Language/ from strings.txt.

strings.txt holds one table entry per line, English and Simplified Chinese:
  - "== <marker>" starts a section; the marker line is the same in every file;
  - "<k>\t<English>\t<Chinese>" is entry k of the current section (k counts
    from 0 after the marker and must be the next one, so a missing or extra
    line is caught here);
  - "-\t<English>\t<Chinese>" is a line before the first section;
  - empty lines and lines starting with "#" are ignored.
"--.." stands for a place that no window uses yet.

Each output line is the HexUtf16Text of one entry (four lower-case hex digits
per UTF-16 code unit), lines end in CR LF. The pointer file Language/Language
names the English file, so a new installation starts in English.
"""
import pathlib
import sys

LANGUAGES = [("English", 1), ("中文-简体", 2)]
DEFAULT = "English"


def hex_utf16(text):
    data = text.encode("utf-16-le")
    return "".join("%04x" % (data[i] | (data[i + 1] << 8)) for i in range(0, len(data), 2))


def parse(path):
    rows = []
    section = None
    expected = 0
    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if not raw or raw.startswith("#"):
            continue
        if raw.startswith("== "):
            marker = raw[3:]
            rows.append((marker, marker))
            section = marker
            expected = 0
            continue
        parts = raw.split("\t")
        if len(parts) != 3:
            sys.exit(f"{path}:{number}: expected three tab-separated fields")
        index, english, chinese = parts
        if index == "-":
            if section is not None:
                sys.exit(f"{path}:{number}: '-' lines come before the first section")
        elif int(index) != expected:
            sys.exit(f"{path}:{number}: entry {index} of {section}, expected {expected}")
        else:
            expected += 1
        rows.append((english, chinese))
    if len(rows) > 1000:
        sys.exit(f"{len(rows)} lines: the table holds 1000")
    return rows


def main():
    here = pathlib.Path(__file__).resolve().parent
    out = here.parent.parent / "Language"
    out.mkdir(exist_ok=True)
    rows = parse(here / "strings.txt")
    for name, column in LANGUAGES:
        lines = [hex_utf16(row[column - 1]) for row in rows]
        (out / (hex_utf16(name) + ".txt")).write_bytes("".join(l + "\r\n" for l in lines).encode("ascii"))
    (out / "Language").write_bytes((hex_utf16(DEFAULT) + ".txt").encode("ascii"))
    print(f"{len(rows)} lines written for {len(LANGUAGES)} languages")


if __name__ == "__main__":
    main()
