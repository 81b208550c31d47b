#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Fails on any include (or QML import) that reaches up or sideways in the
layers: calendar/ at the bottom; zoho/ and settings/ above it; resources/
above those; popover/, settings/ui/ and onboarding/ above that; app/ on top.
A folder includes its own files and those of lower layers, never a higher
layer's or a sibling's. The libraries' include roots (see CMakeLists.txt)
are the other half: this catches what they would let through, such as a
relative "../zoho/X.h" or a header that needs no linking.

    tst_layers.py <source folder>

First checks itself on planted trees, then checks the source folder; every
offending include is named as file:line."""

import os
import re
import sys
import tempfile

# Folder (relative to the source folder) -> layer; a higher number is a higher layer.
LAYERS = {
    'calendar': 0,
    'zoho': 1,
    'settings': 1,
    'reminders': 2,
    'resources': 2,
    'popover': 3,
    'settings/ui': 3,
    'onboarding': 3,
    'app': 4,
}
# Folders of ours outside the layers: no layered code may include them.
OUTSIDE = ('tests', 'tools', 'bench')
# QML modules and the folders that build them.
QML_MODULES = {
    'Brivane.Resources': 'resources',
    'Brivane.Popover': 'popover',
    'Brivane.Settings': 'settings/ui',
    'Brivane.Onboarding': 'onboarding',
}
SOURCE_SUFFIXES = ('.h', '.hpp', '.cpp', '.cc')

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
QML_IMPORT = re.compile(r'^\s*import\s+(Brivane\.[A-Za-z.]+)')


def folder_of(relative_path):
    """The layered folder a path (relative to the source folder) lies in, or None."""
    parts = relative_path.replace(os.sep, '/').split('/')
    for length in range(len(parts) - 1, 0, -1):
        candidate = '/'.join(parts[:length])
        if candidate in LAYERS:
            return candidate
    if parts[0] in OUTSIDE:
        return parts[0]
    return None


def included_folder(root, file_dir, quote, target):
    """The folder an include names, as the compiler would find it: a quoted
    include next to the including file first, then from the source folder."""
    if quote == '"':
        beside = os.path.normpath(os.path.join(file_dir, target))
        if os.path.exists(beside):
            relative = os.path.relpath(beside, root)
            if relative.startswith('..'):
                return None
            return folder_of(relative)
    if '/' not in target:
        return None  # a system header or a generated file (.moc)
    return folder_of(os.path.normpath(target))


def allowed(source_folder, target_folder):
    if target_folder is None or target_folder == source_folder:
        return True
    if target_folder not in LAYERS:
        return False  # tests/, tools/, bench/
    return LAYERS[target_folder] < LAYERS[source_folder]


def describe(folder):
    return '%s/ (layer %d)' % (folder, LAYERS[folder]) if folder in LAYERS else '%s/ (outside the layers)' % folder


def check(root):
    """Every offending include or import under `root`, as 'file:line: ...'."""
    problems = []
    for folder in sorted(LAYERS):
        top = os.path.join(root, folder)
        if not os.path.isdir(top):
            continue
        for name in sorted(os.listdir(top)):
            path = os.path.join(top, name)
            if not os.path.isfile(path):
                continue  # a subfolder is a layer of its own (settings/ui) or not ours
            relative = os.path.relpath(path, root)
            if name.endswith(SOURCE_SUFFIXES):
                pattern, kind = INCLUDE, 'include'
            elif name.endswith('.qml'):
                pattern, kind = QML_IMPORT, 'import'
            else:
                continue
            with open(path, encoding='utf-8', errors='replace') as source:
                for number, line in enumerate(source, 1):
                    match = pattern.match(line)
                    if not match:
                        continue
                    if kind == 'include':
                        target = match.group(2)
                        target_folder = included_folder(root, top, match.group(1), target)
                    else:
                        target = match.group(1)
                        target_folder = QML_MODULES.get(target)
                    if not allowed(folder, target_folder):
                        problems.append('%s:%d: %s/ (layer %d) %ss "%s" from %s' % (
                            relative, number, folder, LAYERS[folder], kind, target, describe(target_folder)))
    return problems


def plant(root, files):
    for relative, text in files.items():
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'w', encoding='utf-8') as out:
            out.write(text)


def self_test():
    """The check finds planted upward and sideways includes, names their
    file:line, and passes the allowed ones. Returns what went wrong."""
    failures = []
    clean = {
        'calendar/Clock.h': '#pragma once\n#include <QDateTime>\n#include "calendar/Types.h"\n',
        'calendar/Types.h': '#pragma once\n',
        'calendar/Clock.cpp': '#include "Clock.h"\n#include "Clock.moc"\n',
        'zoho/Client.h': '#include "calendar/Clock.h"\n#include "zoho/Other.h"\n',
        'zoho/Other.h': '\n',
        'settings/Store.h': '#include "calendar/Types.h"\n',
        'resources/Theme.cpp': '#include "calendar/Types.h"\n',
        'settings/ui/View.cpp': '#include "settings/Store.h"\n#include "zoho/Client.h"\n#include "resources/Theme.h"\n',
        'settings/ui/View.qml': 'import QtQuick\nimport Brivane.Resources\n',
        'popover/Model.cpp': '#include "settings/Store.h"\n#include "calendar/Clock.h"\n',
        'app/Main.cpp': '#include "popover/Model.h"\n#include "settings/ui/View.h"\n#include "app/Main.h"\n',
        'tests/tst_x.cpp': '#include "app/Main.h"\n',
    }
    planted = {
        # upward, sideways, relative, angle-bracketed, into tests/, and in QML
        'calendar/Event.h': '#pragma once\n\n#include "zoho/Client.h"\n',
        'zoho/Manager.cpp': '#include "zoho/Client.h"\n#include "settings/Store.h"\n',
        'settings/Store.cpp': '#include "settings/Store.h"\n#include "ui/View.h"\n',
        'settings/ui/View.h': '#include "../../popover/Model.h"\n',
        'popover/Model.h': '#include <app/Main.h>\n',
        'resources/Theme.h': '#include "tests/TestSupport.h"\n',
        'onboarding/Page.qml': 'import QtQuick\nimport Brivane.Popover\n',
        'tests/TestSupport.h': '\n',
        'app/Main.h': '\n',
    }
    expected = [
        'calendar/Event.h:3:',
        'onboarding/Page.qml:2:',
        'popover/Model.h:1:',
        'resources/Theme.h:1:',
        'settings/Store.cpp:2:',
        'settings/ui/View.h:1:',
        'zoho/Manager.cpp:2:',
    ]
    with tempfile.TemporaryDirectory() as root:
        plant(root, clean)
        if check(root):
            failures.append('a tree without upward includes was refused: %s' % check(root))
        plant(root, planted)
        found = check(root)
        prefixes = sorted(problem.split(' ')[0] for problem in found)
        if prefixes != expected:
            failures.append('planted includes: expected %s, found %s' % (expected, found))
        if not any('from zoho/ (layer 1)' in problem for problem in found if problem.startswith('calendar/Event.h')):
            failures.append('the upward include does not name the layer it reaches: %s' % found)
    return failures


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    failures = self_test()
    for failure in failures:
        print('self-test: ' + failure)
    root = sys.argv[1]
    if not os.path.isdir(os.path.join(root, 'calendar')):
        print('%s is not the source folder (no calendar/ in it)' % root)
        return 1
    problems = check(root)
    for problem in problems:
        print(problem)
    if failures or problems:
        return 1
    print('no include reaches up or sideways (%d layered folders)' % len(LAYERS))
    return 0


if __name__ == '__main__':
    sys.exit(main())
