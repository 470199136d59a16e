#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the window's translations (translations/*.ts).

Usage: check-translations.py LUPDATE SOURCES_LIST TS_FILE...
  LUPDATE       the lupdate program
  SOURCES_LIST  a file naming the translated sources, one a line (the build writes it)
  TS_FILE       a translation

A .ts file must hold exactly the texts that the sources mark (lupdate over a copy changes
nothing: run the update_translations target and translate what it adds), and each translation
must be finished and keep what the program relies on: the same %1 arguments, the same blanks
at both ends, the same line breaks and an accelerator (&) where the English has one.
Prints each problem and exits with 1 if there is one.
"""
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

LUPDATE_OPTIONS = ["-locations", "none", "-no-obsolete", "-no-ui-lines", "-silent"]


def placeholders(text):
    return sorted(re.findall(r"%(?:L?\d+|n)", text))


def edge_blanks(text):
    return re.match(r"\s*", text).group(), re.search(r"\s*$", text).group()


def accelerators(text):
    return len(re.findall(r"&(?!&)", text.replace("&&", "")))


def message_problems(context, message):
    source = message.findtext("source") or ""
    translation = message.find("translation")
    where = f"{context}: \"{source}\""
    if translation is None or translation.get("type") in ("unfinished", "vanished", "obsolete"):
        kind = "missing" if translation is None else translation.get("type")
        return [f"{where}: translation is {kind}"]
    forms = translation.findall("numerusform") or [translation]
    problems = []
    for form in forms:
        text = form.text or ""
        if not text.strip():
            problems.append(f"{where}: translation is empty")
            continue
        if placeholders(text) != placeholders(source):
            problems.append(f"{where}: arguments {placeholders(text)} instead of "
                            f"{placeholders(source)}")
        if edge_blanks(text) != edge_blanks(source):
            problems.append(f"{where}: blanks at the ends differ in \"{text}\"")
        if text.count("\n") != source.count("\n"):
            problems.append(f"{where}: line breaks differ in \"{text}\"")
        if accelerators(text) != accelerators(source):
            problems.append(f"{where}: accelerators (&) differ in \"{text}\"")
    return problems


def check(lupdate, sources_list, ts_file):
    problems = []
    with tempfile.TemporaryDirectory() as folder:
        copy = f"{folder}/current.ts"
        shutil.copyfile(ts_file, copy)
        run = subprocess.run([lupdate, f"@{sources_list}", *LUPDATE_OPTIONS, "-ts", copy],
                             capture_output=True, text=True)
        if run.returncode != 0:
            return [f"{ts_file}: lupdate failed: {run.stderr.strip()}"]
        with open(ts_file, encoding="utf-8") as kept, open(copy, encoding="utf-8") as fresh:
            if kept.read() != fresh.read():
                problems.append(f"{ts_file}: not up to date with the sources; build the "
                                "update_translations target and translate what it adds")
    root = ElementTree.parse(ts_file).getroot()
    for context in root.iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            problems += [f"{ts_file}: {p}" for p in message_problems(name, message)]
    return problems


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    lupdate, sources_list = sys.argv[1], sys.argv[2]
    problems = []
    for ts_file in sys.argv[3:]:
        problems += check(lupdate, sources_list, ts_file)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
