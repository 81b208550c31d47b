// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

#include <functional>

class CalendarStore;
class Clock;
class QTextStream;

// `brivane add TITLE --start DATETIME [--end DATETIME] [--all-day]
// [--calendar NAME-OR-ID]`: a new event through the same save path as the
// popover's form; prints the new event's id. Exit status 0, 1 when the event
// could not be written (the reason on `err`), 2 for bad arguments.
int runAddCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);

// The same with the store, the clock and Zoho given. `loadZoho` is asked
// only when a Zoho calendar may be the target: it brings Zoho's calendars,
// read, into the store, or returns false when Zoho is not connected.
int runAddCommand(const QStringList &arguments, QTextStream &out, QTextStream &err, CalendarStore &store,
    const Clock &clock, const std::function<bool()> &loadZoho);
