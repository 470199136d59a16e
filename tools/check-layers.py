#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that the code under src/ keeps its layers: every #include names a header of a target
the including target may use, a Qt module it may use, or FFmpeg only where media/ is.

Usage: check-layers.py QT_INCLUDE_ROOT TARGET=FILE[,FILE...] ...
  QT_INCLUDE_ROOT  the folder that holds Qt's QtCore/, QtGui/, ... header folders
  TARGET=FILES     a library or program of src/ and its source files (full paths)

Prints each include that breaks a rule and exits with 1 if there is one.
"""
import os
import re
import sys

# What each target may include: the targets below it and the Qt modules of its layer.
# (docs/ARCHITECTURE.md draws the same table.)
ALLOWED = {
    "morvane_base": ([], ["QtCore"]),
    "morvane_media": (["morvane_base"], ["QtCore"]),
    "morvane_media_pictures": (["morvane_base", "morvane_media"], ["QtCore", "QtGui"]),
    "morvane_profiles": (["morvane_base"], ["QtCore"]),
    "morvane_engine": (["morvane_base", "morvane_profiles", "morvane_media"], ["QtCore"]),
    "morvane_power": ([], ["QtCore", "QtDBus"]),
    "morvane-cli": (["morvane_base", "morvane_engine", "morvane_profiles", "morvane_media",
                     "morvane_power"], ["QtCore"]),
    "morvane_controls": ([], ["QtCore", "QtGui", "QtWidgets", "QtSvg"]),
    "morvane_preview": (["morvane_base", "morvane_controls", "morvane_media",
                         "morvane_media_pictures"],
                        ["QtCore", "QtGui", "QtWidgets", "QtSvg", "QtMultimedia"]),
    "morvane_app": (["morvane_base", "morvane_engine", "morvane_profiles", "morvane_media",
                     "morvane_power", "morvane_controls", "morvane_preview"],
                    ["QtCore", "QtGui", "QtWidgets", "QtDBus"]),
    "morvane": (["morvane_app"], ["QtCore", "QtGui", "QtWidgets"]),
}
# Only media/ talks to the FFmpeg libraries.
FFMPEG_USERS = {"morvane_media", "morvane_media_pictures"}
FFMPEG_HEADER = re.compile(r"^lib(av|sw)[a-z]*/")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def QtModuleOf(header, qtRoot):
    """The Qt module that holds <header> ("QtGui" for <QImage> or <QtGui/QImage>), or None."""
    if "/" in header:
        module = header.split("/", 1)[0]
        return module if os.path.isdir(os.path.join(qtRoot, module)) else None
    if not header.startswith("Q"):
        return None
    for module in sorted(os.listdir(qtRoot)):
        if os.path.isfile(os.path.join(qtRoot, module, header)):
            return module
    return None


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    qtRoot = argv[1]
    if not os.path.isdir(os.path.join(qtRoot, "QtCore")):
        sys.stderr.write(f"{qtRoot}: no QtCore folder there\n")
        return 2

    files = {}  # target: its files
    owner = {}  # "folder/Name.h": target
    for argument in argv[2:]:
        target, _, sources = argument.partition("=")
        if target not in ALLOWED:
            sys.stderr.write(f"{target}: not in the table of layers\n")
            return 2
        files[target] = [path for path in sources.split(",") if path]
        for path in files[target]:
            owner["/".join(path.replace("\\", "/").split("/")[-2:])] = target
    missing = set(ALLOWED) - set(files)
    if missing:
        sys.stderr.write("no files given for " + ", ".join(sorted(missing)) + "\n")
        return 2

    faults = []
    for target, paths in sorted(files.items()):
        targets, modules = ALLOWED[target]
        for path in paths:
            if not re.search(r"\.(h|cpp)$", path):
                continue
            with open(path, encoding="utf-8") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    quoted, header = match.group(1) == '"', match.group(2)
                    where = f"{path}:{number}: {target} includes {header}"
                    if quoted:
                        used = owner.get(header)
                        if used is None:
                            faults.append(f"{where}, which no target of src/ holds")
                        elif used != target and used not in targets:
                            faults.append(f"{where} of {used}, which it may not use")
                    elif FFMPEG_HEADER.match(header):
                        if target not in FFMPEG_USERS:
                            faults.append(f"{where}: only media/ uses FFmpeg")
                    else:
                        module = QtModuleOf(header, qtRoot)
                        if module is not None and module not in modules:
                            faults.append(f"{where} of {module}, which it may not use")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
