#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints the AT-SPI tree of a running Morvane window: one line per object, its role and name
(and description, when it has one), indented by depth. Exits 1 when the program is not found.

    atspi_listing.py [APPLICATION_NAME]
"""
import sys
import time

import pyatspi


def walk(node, depth, out):
    try:
        role = node.getRoleName()
        name = node.name or ""
        description = node.description or ""
    except Exception:  # an object that went away while listed
        return
    line = "%s%s: %s" % ("  " * depth, role, name)
    if description and description != name:
        line += "  [%s]" % description
    try:
        value = node.queryValue().currentValue
        line += "  = %g" % value
    except NotImplementedError:
        pass
    except Exception:
        pass
    out.append(line)
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            walk(child, depth + 1, out)


def main():
    wanted = sys.argv[1] if len(sys.argv) > 1 else "morvane"
    desktop = pyatspi.Registry.getDesktop(0)
    # The program registers with the accessibility bus a moment after its window shows.
    for _ in range(50):
        apps = [app for app in desktop if app is not None and app.name.lower() == wanted.lower()]
        if apps:
            break
        time.sleep(0.2)
    else:
        print("no application named %s on the accessibility bus" % wanted, file=sys.stderr)
        return 1
    out = []
    walk(apps[0], 0, out)
    print("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
