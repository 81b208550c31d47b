#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Measures brivane beside khal on generated calendars: the store's cold and
warm load, `brivane agenda` and `brivane status` with and without a running
instance, the peak memory of `brivane status --follow` with and without one,
the tray application's time to a correct title and its memory, and khal's
first and warm `list`. Prints figures; asserts nothing.

Each size gets a home of its own (XDG folders), so nothing of the user's is
read or written. "Now" is fixed at 2026-12-07 09:00 in Europe/Berlin.
"""
import argparse
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BRIVANE = os.path.join(ROOT, "build", "brivane")
BRIVANE_APP = os.path.join(ROOT, "build", "brivane-app")
BENCH_STORE = os.path.join(ROOT, "build", "bench", "bench_store")
AT = "2026-12-07T09:00:00"


def environment(home, **extra):
    env = dict(os.environ)
    for name, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                      ("XDG_CACHE_HOME", "cache"), ("XDG_RUNTIME_DIR", "runtime")):
        env[name] = os.path.join(home, sub)
    env.update(TZ="Europe/Berlin", LANG="C.UTF-8", QT_QPA_PLATFORM="offscreen", QT_QUICK_BACKEND="software",
               DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(home, "no-bus"))
    env.update(extra)
    return env


def timed(command, env):
    """Wall time (s), peak resident memory (MiB) and what it wrote to stderr, of one run."""
    with tempfile.TemporaryFile() as err:
        start = time.monotonic()
        process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=err)
        _, _, usage = os.wait4(process.pid, 0)
        wall = time.monotonic() - start
        process.returncode = 0
        err.seek(0)
        return wall, usage.ru_maxrss / 1024.0, err.read().decode(errors="replace")


def median_run(command, env, runs):
    results = [timed(command, env) for _ in range(runs)]
    walls = [r[0] for r in results]
    return statistics.median(walls), max(r[1] for r in results), results[-1][2]


def rss_mb(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return -1.0


def start_tray(env, log):
    """Starts the tray application; returns it with the ms it reported to a correct title."""
    with open(log, "wb") as err:
        process = subprocess.Popen([BRIVANE], env=dict(env, BRIVANE_TIMING="1"), stdout=subprocess.DEVNULL,
                                   stderr=err)
    deadline = time.monotonic() + 120
    while time.monotonic() < deadline and process.poll() is None:
        with open(log, "rb") as err:
            found = re.search(rb"title from the loaded calendars (\d+) ms", err.read())
        if found:
            return process, int(found.group(1))
        time.sleep(0.05)
    return process, -1


def follow_memory_mb(command, env, settle_s=2.0):
    """Peak resident memory (MiB) of `status --follow`, after its first line and a while of following, and
    how much of what is resident then is its own (not pages of shared libraries)."""
    process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        if not process.stdout.readline():
            return -1.0, -1.0
        time.sleep(settle_s)
        fields = {}
        for name in ("/proc/%d/status" % process.pid, "/proc/%d/smaps_rollup" % process.pid):
            with open(name) as lines:
                for line in lines:
                    parts = line.split()
                    if len(parts) >= 2 and parts[1].isdigit():
                        fields[parts[0].rstrip(":")] = int(parts[1]) / 1024.0
        return fields.get("VmHWM", -1.0), fields.get("Private_Clean", 0.0) + fields.get("Private_Dirty", 0.0)
    finally:
        process.kill()
        process.wait()


def stop(process):
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def khal_runs(folder, home):
    os.makedirs(os.path.join(home, "khal-data"), exist_ok=True)
    config = os.path.join(home, "khal.conf")
    with open(config, "w") as f:
        f.write("[calendars]\n[[bench]]\npath = %s/*/*\ntype = discover\n"
                "[locale]\nlocal_timezone = Europe/Berlin\ndefault_timezone = Europe/Berlin\n"
                "timeformat = %%H:%%M\ndateformat = %%Y-%%m-%%d\nlongdateformat = %%Y-%%m-%%d\n"
                "datetimeformat = %%Y-%%m-%%d %%H:%%M\nlongdatetimeformat = %%Y-%%m-%%d %%H:%%M\n" % folder)
    env = environment(home, XDG_DATA_HOME=os.path.join(home, "khal-data"))
    command = ["khal", "-c", config, "list", "2026-12-07", "7d"]
    return timed(command, env), timed(command, env)


def row(label, wall_s, rss_mb_value=None):
    text = "  %-44s %9.0f ms" % (label, wall_s * 1000)
    if rss_mb_value is not None:
        text += "  %7.1f MiB" % rss_mb_value
    print(text)


def bench_size(n, work, runs, with_khal):
    home = os.path.join(work, "home-%d" % n)
    for sub in ("home", "config/brivane", "data", "cache", "runtime"):
        os.makedirs(os.path.join(home, sub), exist_ok=True)
    os.chmod(os.path.join(home, "runtime"), 0o700)
    with open(os.path.join(home, "config", "brivane", "brivane.conf"), "w") as f:
        f.write("[General]\nonboardingComplete=true\n")
    folder = os.path.join(home, "data", "brivane", "calendars")
    subprocess.run([sys.executable, os.path.join(ROOT, "bench", "generate_vdir.py"), folder, "--events", str(n),
                    "--around", "2026-12-07"], check=True, stdout=subprocess.DEVNULL)
    # Files read within two seconds of their last change stay out of the index.
    time.sleep(2.5)
    print("== %d events ==" % n)

    index = os.path.join(work, "bench-index-%d" % n)
    for _ in ("cold", "warm"):
        out = subprocess.run([BENCH_STORE, folder, "--index", index], capture_output=True, text=True).stdout
        print("\n".join("  " + line for line in out.splitlines()))

    env = environment(home, BRIVANE_NO_INSTANCE="1")
    cache = os.path.join(home, "cache")
    for name in ("agenda", "status"):
        shutil.rmtree(cache, ignore_errors=True)
        wall, rss, _ = timed([BRIVANE, name, "--at", AT], env)
        row("brivane %s, no index yet" % name, wall, rss)
    for name in ("agenda", "status"):
        wall, rss, _ = median_run([BRIVANE, name, "--at", AT], env, runs)
        row("brivane %s, warm index, no instance" % name, wall, rss)

    shutil.rmtree(cache, ignore_errors=True)
    log = os.path.join(home, "tray.log")
    tray, cold_title = start_tray(environment(home), log)
    time.sleep(1)
    stop(tray)
    time.sleep(0.5)
    tray, title_ms = start_tray(environment(home), log)
    time.sleep(3)  # the index write and the first events settle
    tray_rss = rss_mb(tray.pid)
    asked = environment(home, BRIVANE_TIMING="1")
    for name in ("agenda", "status"):
        wall, rss, err = median_run([BRIVANE, name, "--at", AT], asked, runs)
        note = "" if "answered by the running instance" in err else " (NOT answered by the instance)"
        row("brivane %s, instance running%s" % (name, note), wall, rss)
    follow = [BRIVANE, "status", "--follow", "--at", AT]
    follow_rows = [("status --follow, instance running", follow_memory_mb(follow, environment(home)))]
    stop(tray)
    # The tray wrote the index for today's window; the commands' is --at's.
    timed([BRIVANE, "status", "--at", AT], env)
    follow_rows.append(("status --follow, no instance", follow_memory_mb(follow, environment(home))))
    # Where a session bus may lead to the desktop's calendars the launcher
    # hands the command to the whole program: that one, with no instance.
    follow_rows.append(("status --follow, no instance, whole program",
                        follow_memory_mb([BRIVANE_APP] + follow[1:], environment(home))))
    for label, (peak, own) in follow_rows:
        print("  %-44s %9s    %7.1f MiB peak, %.1f MiB its own" % (label, "", peak, own))
    print("  %-44s %9d ms" % ("tray: correct title after start, no index", cold_title))
    print("  %-44s %9d ms" % ("tray: correct title after start, warm index", title_ms))
    print("  %-44s %9s    %7.1f MiB" % ("tray: memory after the load (RSS)", "", tray_rss))

    if with_khal and shutil.which("khal"):
        first, warm = khal_runs(folder, os.path.join(work, "khal-%d" % n))
        row("khal list 7d, first run", first[0], first[1])
        row("khal list 7d, warm", warm[0], warm[1])
    print()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sizes", default=os.environ.get("BENCH_SIZES", "1000 10000 50000"))
    parser.add_argument("--runs", type=int, default=5, help="runs per command; the median is printed")
    parser.add_argument("--no-khal", action="store_true")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="brivane-bench-")
    try:
        print("machine: %s, %d cores; %s" % (os.uname().machine, os.cpu_count(),
                                             open("/proc/cpuinfo").read().split("model name")[1].split("\n")[0]
                                             .strip(" :\t")))
        for n in [int(size) for size in args.sizes.split()]:
            bench_size(n, work, args.runs, not args.no_khal and os.environ.get("BENCH_KHAL", "1") != "0")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
