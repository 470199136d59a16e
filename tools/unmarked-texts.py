#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Lists the texts of source files that look like words a user reads but are not marked for
translation: string literals with a letter that stand outside tr(), translate() and the
QT_TR_NOOP / QT_TRANSLATE_NOOP markers. A guide for marking, not a check: names of files,
options, log entries and D-Bus names show up too and are left as they are.

Usage: unmarked-texts.py FILE...
Prints FILE:LINE: "text" for each.
"""
import re
import sys

LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
# What stands before a marked text: the call's opening (and a translate() context).
MARKED_BEFORE = re.compile(
    r"\b(?:tr|translate|QT_TR_NOOP|QT_TRANSLATE_NOOP)\s*\(\s*(?:\"[^\"]*\"\s*,\s*)?$")
# Literals that are plainly not words a user reads: no letter, or one lower-case word, a name
# with dots, slashes or underscores, an option (keys, files, options, D-Bus names).
NOT_WORDS = re.compile(r"^(?:[^A-Za-z]*|-\S*|[a-z][\w%-]*|\S*[._/]\S*)$")


def without_comments(text):
    """The text with comments and #include lines blanked, so that offsets and lines stay."""
    blank = lambda match: re.sub(r"[^\n]", " ", match.group())
    pattern = r'"(?:[^"\\\n]|\\.)*"|/\*.*?\*/|//[^\n]*|^\s*#include[^\n]*'
    return re.sub(pattern, lambda m: m.group() if m.group().startswith('"') else blank(m), text,
                  flags=re.S | re.M)


def unmarked(path):
    with open(path, encoding="utf-8") as source:
        text = without_comments(source.read())
    found = []
    marked = False  # whether the literal just before was marked (for "a" "b" concatenations)
    previous_end = -1
    for match in LITERAL.finditer(text):
        between = text[previous_end:match.start()] if previous_end >= 0 else "x"
        if between.strip():
            marked = bool(MARKED_BEFORE.search(text[max(0, match.start() - 200):match.start()]))
        previous_end = match.end()
        words = match.group(1)
        if marked or not re.search(r"[A-Za-z]", words) or NOT_WORDS.match(words):
            continue
        found.append((text.count("\n", 0, match.start()) + 1, words))
    return found


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    for path in sys.argv[1:]:
        for number, text in unmarked(path):
            print(f'{path}:{number}: "{text}"')
    return 0


if __name__ == "__main__":
    sys.exit(main())
