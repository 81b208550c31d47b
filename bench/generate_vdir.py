#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a realistic vdir for benchmarks: several accounts and calendars,
ten years of events around a given day, a tenth of them recurring (with
EXDATEs and moved occurrences), some all-day, in several zones and floating."""
import argparse
import datetime as dt
import os
import random

ZONES = ["Europe/Berlin", "America/New_York", "UTC", None]  # None: floating
RULES = ["FREQ=DAILY;COUNT=30", "FREQ=WEEKLY;BYDAY=MO,WE", "FREQ=WEEKLY", "FREQ=WEEKLY;INTERVAL=2;BYDAY=TU,TH",
         "FREQ=MONTHLY;BYMONTHDAY=15", "FREQ=MONTHLY;BYDAY=1FR", "FREQ=YEARLY", "FREQ=DAILY;UNTIL={until}"]
WORDS = ["Standup", "Review", "Lunch", "Call", "Dentist", "Planning", "Retro", "Gym", "Dinner", "1:1", "Sync",
         "Workshop", "Flight", "Birthday", "Concert", "Budget", "Interview", "Demo", "Coffee", "Yoga"]


def fmt(moment, zone):
    stamp = moment.strftime("%Y%m%dT%H%M%S")
    if zone is None:
        return ":" + stamp
    if zone == "UTC":
        return ":" + stamp + "Z"
    return ";TZID=" + zone + ":" + stamp


def event_text(rng, uid, start_day):
    lines = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//brivane bench//EN", "BEGIN:VEVENT", "UID:" + uid,
             "DTSTAMP:20260101T000000Z", "SUMMARY:" + " ".join(rng.sample(WORDS, 2)),
             "DESCRIPTION:Generated for the store benchmark; " + "x" * rng.randint(0, 120)]
    kind = rng.random()
    if kind < 0.05:
        lines += ["DTSTART;VALUE=DATE:" + start_day.strftime("%Y%m%d"),
                  "DTEND;VALUE=DATE:" + (start_day + dt.timedelta(days=rng.choice([1, 1, 1, 2, 3]))).strftime("%Y%m%d")]
        lines += ["END:VEVENT", "END:VCALENDAR"]
        return "\r\n".join(lines) + "\r\n"
    zone = rng.choice(ZONES)
    start = dt.datetime.combine(start_day, dt.time(rng.randint(7, 20), rng.choice([0, 15, 30, 45])))
    end = start + dt.timedelta(minutes=rng.choice([15, 30, 45, 60, 90, 120]))
    lines += ["DTSTART" + fmt(start, zone), "DTEND" + fmt(end, zone)]
    overrides = []
    if rng.random() < 0.10:
        rule = rng.choice(RULES).format(until=(start + dt.timedelta(days=rng.randint(20, 400))).strftime("%Y%m%dT%H%M%SZ"))
        lines.append("RRULE:" + rule)
        step = 7 if "WEEKLY" in rule else 1 if "DAILY" in rule else 31
        for n in rng.sample(range(1, 12), 2):
            lines.append("EXDATE" + fmt(start + dt.timedelta(days=step * n), zone))
        moved = start + dt.timedelta(days=step * 13)
        overrides = ["BEGIN:VEVENT", "UID:" + uid, "DTSTAMP:20260101T000000Z", "SUMMARY:Moved " + uid[:6],
                     "RECURRENCE-ID" + fmt(moved, zone), "DTSTART" + fmt(moved + dt.timedelta(hours=2), zone),
                     "DTEND" + fmt(moved + dt.timedelta(hours=3), zone), "END:VEVENT"]
    lines.append("END:VEVENT")
    lines += overrides
    lines.append("END:VCALENDAR")
    return "\r\n".join(lines) + "\r\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--events", type=int, default=1000)
    parser.add_argument("--around", default=dt.date.today().isoformat(), help="the middle of the ten years")
    parser.add_argument("--variation", type=int, default=1, help="which of many equally realistic data sets")
    parser.add_argument("--single-file", action="store_true",
                        help="write one calendar file (as Evolution Data Server keeps it) instead of a vdir")
    args = parser.parse_args()
    rng = random.Random(args.variation)
    middle = dt.date.fromisoformat(args.around)
    if args.single_file:
        with open(args.folder, "w", newline="") as f:
            f.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//brivane bench//EN\r\n")
            for i in range(args.events):
                day = middle + dt.timedelta(days=rng.randint(-5 * 365, 5 * 365))
                lines = event_text(rng, "%08x-bench-%d" % (rng.getrandbits(32), i), day).split("\r\n")
                f.write("\r\n".join(lines[3:-2]) + "\r\n")  # the events without their VCALENDAR
            f.write("END:VCALENDAR\r\n")
        return
    calendars = []
    for account in ("work", "family"):
        for name in ("main", "team", "travel", "birthdays"):
            path = os.path.join(args.folder, account, name)
            os.makedirs(path, exist_ok=True)
            with open(os.path.join(path, "displayname"), "w") as f:
                f.write(f"{account} {name}")
            with open(os.path.join(path, "color"), "w") as f:
                f.write("#%06X" % rng.randint(0, 0xFFFFFF))
            calendars.append(path)
    for i in range(args.events):
        day = middle + dt.timedelta(days=rng.randint(-5 * 365, 5 * 365))
        uid = "%08x-bench-%d" % (rng.getrandbits(32), i)
        with open(os.path.join(rng.choice(calendars), uid + ".ics"), "w", newline="") as f:
            f.write(event_text(rng, uid, day))


if __name__ == "__main__":
    main()
