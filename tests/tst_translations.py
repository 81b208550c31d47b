#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the translation catalogues against the sources and the program.

Usage: tst_translations.py SOURCE_DIR BRIVANE

Every user-visible text of the sources is in every catalogue of
translations/, translated, with the same placeholders (%1, %n, ...); and the
program speaks the language that LANGUAGE or LANG asks for.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

source_dir, brivane = sys.argv[1:3]
passed = failed = 0


def check(name, condition, detail=""):
    global passed, failed
    if condition:
        print(f"PASS   : {name}")
        passed += 1
    else:
        print(f"FAIL!  : {name}" + (f"\n   {detail}" if detail else ""))
        failed += 1


def messages(path):
    """{(context, source): (translation texts, finished)} of a catalogue."""
    found = {}
    for context in ET.parse(path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            translation = message.find("translation")
            forms = [f.text or "" for f in translation.iter("numerusform")] or [translation.text or ""]
            finished = translation.get("type") not in ("unfinished", "obsolete", "vanished")
            found[(name, message.findtext("source"))] = (forms, finished)
    return found


def placeholders(text):
    return sorted(set(re.findall(r"%(?:n|L?\d+)", text)))


lupdate = shutil.which("lupdate") or "/usr/lib/qt6/bin/lupdate"
folders = ["app", "calendar", "onboarding", "popover", "reminders", "resources", "settings", "zoho"]
catalogues = sorted(f for f in os.listdir(os.path.join(source_dir, "translations")) if f.endswith(".ts"))
check("there is a catalogue", bool(catalogues))

with tempfile.TemporaryDirectory() as scratch:
    fresh = os.path.join(scratch, "fresh.ts")
    run = subprocess.run([lupdate, "-silent", "-locations", "none", *folders, "-ts", fresh],
                         cwd=source_dir, capture_output=True, text=True)
    check("lupdate reads the sources", run.returncode == 0 and os.path.exists(fresh), run.stderr[-2000:])
    texts = messages(fresh) if os.path.exists(fresh) else {}
    check("the sources have texts to translate", len(texts) > 100, f"{len(texts)} texts")

    for catalogue in catalogues:
        have = messages(os.path.join(source_dir, "translations", catalogue))
        missing = [key for key in texts if key not in have or not have[key][1] or not all(have[key][0])]
        check(f"{catalogue} translates every text", not missing,
              "; ".join(f"{context}: {source[:60]!r}" for context, source in missing[:15]))
        stale = [key for key in have if key not in texts]
        check(f"{catalogue} holds no text the sources lost", not stale,
              "; ".join(f"{context}: {source[:60]!r}" for context, source in stale[:15]))
        wrong = []
        for (context, source), (forms, _) in have.items():
            for form in forms:
                if form and placeholders(form) != placeholders(source):
                    wrong.append(f"{context}: {source[:40]!r} -> {form[:40]!r}")
        check(f"{catalogue} keeps every placeholder", not wrong, "; ".join(wrong[:15]))

    # The program itself, in an empty home: its agenda's headings.
    home = os.path.join(scratch, "home")
    environment = {
        "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
        "HOME": home,
        "XDG_CONFIG_HOME": os.path.join(home, "config"),
        "XDG_DATA_HOME": os.path.join(home, "data"),
        "XDG_CACHE_HOME": os.path.join(home, "cache"),
        "XDG_RUNTIME_DIR": os.path.join(scratch, "runtime"),
        "DBUS_SESSION_BUS_ADDRESS": f"unix:path={scratch}/no-bus",
        "BRIVANE_NO_INSTANCE": "1",
        "TZ": "Europe/Berlin",
        "QT_QPA_PLATFORM": "offscreen",
    }
    os.makedirs(environment["XDG_RUNTIME_DIR"], mode=0o700)

    def agenda(**language):
        env = dict(environment, **language)
        result = subprocess.run([brivane, "agenda", "--at", "2026-12-09T10:00"], env=env,
                                capture_output=True, text=True, timeout=60)
        return result.stdout + result.stderr

    english = agenda(LANG="C.UTF-8")
    check("LANG=C speaks English", "Today" in english and "Heute" not in english, english)
    german = agenda(LANG="de_DE.UTF-8")
    check("LANG=de_DE speaks German", "Heute" in german and "Keine Termine" in german, german)
    chosen = agenda(LANG="C.UTF-8", LANGUAGE="fr:de")
    check("LANGUAGE's first language with a catalogue wins", "Heute" in chosen, chosen)
    unknown = agenda(LANG="ja_JP.UTF-8")
    check("a language without a catalogue stays English", "Today" in unknown, unknown)

    def run(*arguments, **language):
        env = dict(environment, **language)
        result = subprocess.run([brivane, *arguments], env=env, capture_output=True, text=True, timeout=60)
        return result.stdout + result.stderr

    status = run("zoho", "status", LANG="de_DE.UTF-8")
    check("the zoho command speaks German", "Zoho: nicht verbunden" in status, status)
    wrong_time = run("agenda", "--at", "yesterday", LANG="de_DE.UTF-8")
    check("a command's error speaks German", "kein Datum mit Uhrzeit nach ISO 8601: yesterday" in wrong_time,
          wrong_time)

print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
