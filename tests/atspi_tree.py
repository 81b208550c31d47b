#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints what a screen reader sees of one application: the accessibility
(AT-SPI) tree, one "role: name" line per node, indented by depth. Asks the
session's org.a11y.Bus for the accessibility bus and walks it with gdbus.

usage: atspi_tree.py APPLICATION-NAME
"""
import re
import subprocess
import sys


def gdbus(*arguments):
    result = subprocess.run(["gdbus", "call", *arguments], capture_output=True, text=True, timeout=10)
    if result.returncode != 0:
        raise RuntimeError(result.stderr.strip())
    return result.stdout.strip()


def main():
    wanted = sys.argv[1]
    address = re.search(r"'([^']*)'", gdbus("--session", "--dest", "org.a11y.Bus", "--object-path",
                                             "/org/a11y/bus", "--method", "org.a11y.Bus.GetAddress")).group(1)

    def call(bus, path, method, *arguments):
        return gdbus("--address", address, "--dest", bus, "--object-path", path, "--method", method, *arguments)

    def children(bus, path):
        return re.findall(r"\('([^']*)', objectpath '([^']*)'\)|\('([^']*)', '([^']*)'\)",
                          call(bus, path, "org.a11y.atspi.Accessible.GetChildren"))

    def name(bus, path):
        text = call(bus, path, "org.freedesktop.DBus.Properties.Get", "org.a11y.atspi.Accessible", "Name")
        found = re.search(r"<'(.*)'>", text)
        return found.group(1) if found else ""

    def role(bus, path):
        return re.search(r"'(.*)'", call(bus, path, "org.a11y.atspi.Accessible.GetRoleName")).group(1)

    def walk(bus, path, depth):
        print("  " * depth + role(bus, path) + ": " + name(bus, path))
        if depth > 30:
            return
        for match in children(bus, path):
            child_bus, child_path = (match[0], match[1]) if match[0] else (match[2], match[3])
            walk(child_bus, child_path, depth + 1)

    for match in children("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root"):
        bus, path = (match[0], match[1]) if match[0] else (match[2], match[3])
        if name(bus, path) == wanted:
            walk(bus, path, 0)
            return 0
    print("no application named " + wanted, file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
