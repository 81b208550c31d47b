#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that no test can reach the session of whoever runs the suite.

Usage: tst_isolation.py CTEST BUILD_DIR TESTS_SOURCE_DIR

Every test registered with CTest must run with a session (and system) bus
address that leads nowhere, no display, and home and XDG folders that cannot
be made; the scripts that give a test a bus must give it one of their own and
name that bus to it; and every end-to-end script must seal itself off even
when started by hand, outside CTest.
"""

import json
import os
import subprocess
import sys
import tempfile

ctest, build_dir, tests_dir = sys.argv[1:4]
build_dir = os.path.abspath(build_dir)
passed = 0
failed = 0


def check(name, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
        print(f"PASS   : {name}")
    else:
        failed += 1
        print(f"FAIL!  : {name}" + (f"\n   {detail}" if detail else ""))


def final_environment(properties):
    """What a test's process gets set and unset, with later entries winning."""
    values = {}
    for entry in properties.get("ENVIRONMENT", []):
        name, _, value = entry.partition("=")
        values[name] = value
    for entry in properties.get("ENVIRONMENT_MODIFICATION", []):
        name, _, operation = entry.partition("=")
        if operation.startswith("unset:"):
            values[name] = None
        elif operation.startswith("set:"):
            values[name] = operation[len("set:"):]
        else:
            # Anything that builds on the caller's value lets it through.
            values[name] = "inherited:" + operation
    return values


listing = subprocess.run([ctest, "--show-only=json-v1"], cwd=build_dir, capture_output=True, text=True, check=True)
tests = json.loads(listing.stdout)["tests"]
check("the suite has tests", len(tests) > 10, f"{len(tests)} tests listed")

nowhere = os.path.join(build_dir, "tests", "nowhere")
check("the sealed folders' parent is a plain file", os.path.isfile(nowhere), nowhere)

sealed_paths = ["HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"]
bus_addresses = ["DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS"]
never_passed_on = ["DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "BRIVANE_PRIVATE_BUS", "DBUS_STARTER_ADDRESS"]

for test in tests:
    name = test["name"]
    properties = {p["name"]: p["value"] for p in test.get("properties", [])}
    environment = final_environment(properties)
    problems = []
    for variable in bus_addresses:
        value = environment.get(variable)
        if not value or not value.startswith("unix:path=" + nowhere + "/"):
            problems.append(f"{variable} is {value!r}")
    for variable in sealed_paths:
        value = environment.get(variable)
        if not value or not value.startswith(nowhere + "/"):
            problems.append(f"{variable} is {value!r}")
    for variable in never_passed_on:
        if variable not in environment or environment[variable] is not None:
            problems.append(f"{variable} is passed on from the caller")
    check(f"{name} is sealed off from the caller's session", not problems, "; ".join(problems))

    # A script that starts the program must seal itself too: it is also run
    # by hand, with the caller's environment.
    command = test.get("command", [])
    scripts = [os.path.basename(part) for part in command if part.endswith(".sh")]
    for script in scripts:
        if not script.startswith("e2e_"):
            continue
        text = open(os.path.join(tests_dir, script), encoding="utf-8").read()
        own_bus = "dbus-run-session" in text or "export DBUS_SESSION_BUS_ADDRESS=" in text
        wrapped = any(s.startswith("with_") for s in scripts)
        guarded = 'BRIVANE_PRIVATE_BUS" != "${DBUS_SESSION_BUS_ADDRESS' in text
        check(f"{script} runs on a bus of its own or refuses any other", own_bus or (wrapped and guarded))

# The scripts that give a test a bus: the bus they give is a new one, named
# in BRIVANE_PRIVATE_BUS; a stale name from the caller's environment and the
# caller's own bus and folders are not passed on.
dump = [sys.executable, "-c", "import json, os; print(json.dumps(dict(os.environ)))"]
with tempfile.TemporaryDirectory() as scratch:
    outer_bus = f"unix:path={scratch}/outer-bus"
    outer = dict(os.environ)
    outer.update({
        "DBUS_SESSION_BUS_ADDRESS": outer_bus,
        "BRIVANE_PRIVATE_BUS": outer_bus,
        "HOME": os.path.join(scratch, "outer-home"),
        "XDG_DATA_HOME": os.path.join(scratch, "outer-data"),
        "DISPLAY": ":99",
    })
    wrappers = ["with_session_bus.sh"]
    if subprocess.run(["sh", "-c", "command -v gnome-keyring-daemon"], capture_output=True).returncode == 0:
        wrappers.append("with_secret_service.sh")
    else:
        print("SKIP   : with_secret_service.sh (gnome-keyring-daemon is not installed)")
    for wrapper in wrappers:
        run = subprocess.run(["bash", os.path.join(tests_dir, wrapper)] + dump, env=outer, capture_output=True,
                             text=True, timeout=60)
        lines = [line for line in run.stdout.splitlines() if line.startswith("{")]
        if run.returncode != 0 or not lines:
            check(f"{wrapper} runs a command", False, run.stdout + run.stderr)
            continue
        inner = json.loads(lines[-1])
        bus = inner.get("DBUS_SESSION_BUS_ADDRESS", "")
        check(f"{wrapper} gives a bus of its own", bool(bus) and bus != outer_bus, bus)
        check(f"{wrapper} names that bus to the test", inner.get("BRIVANE_PRIVATE_BUS") == bus,
              f"{inner.get('BRIVANE_PRIVATE_BUS')!r} for {bus!r}")
        check(f"{wrapper} gives folders of its own",
              all(not inner.get(v, "").startswith(scratch + "/outer") for v in ["HOME", "XDG_DATA_HOME"]))
        check(f"{wrapper} passes on no display", "DISPLAY" not in inner)

    # A test binary that owns names on its bus refuses a bus no script named
    # to it: a BRIVANE_PRIVATE_BUS left over in a desktop's environment, or
    # naming another bus, does not let it onto the user's own.
    sni = next((t for t in tests if t["name"] == "tst_sni"), None)
    binary = sni["command"][-1] if sni else None
    if binary and os.path.exists(binary):
        for stale in ["1", f"unix:path={scratch}/another-bus"]:
            environment = dict(outer, BRIVANE_PRIVATE_BUS=stale, QT_QPA_PLATFORM="offscreen")
            run = subprocess.run([binary, "qtsTrayIconNeverJoinsOurItem"], env=environment, capture_output=True, text=True,
                                 timeout=60)
            check(f"a test refuses the caller's bus when BRIVANE_PRIVATE_BUS is {stale!r}",
                  run.returncode != 0 and "with_session_bus.sh" in run.stdout, run.stdout[-500:])
    else:
        check("tst_sni is built", False, str(binary))

print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
