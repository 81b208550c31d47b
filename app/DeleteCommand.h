// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class CalendarStore;
class QTextStream;

// `brivane delete ID`: deletes the event with the id that `brivane agenda
// --json` shows or `brivane add` printed, as the detail's "Delete" button
// does: of a repeating event that occurrence alone; events of read-only
// calendars and Zoho's are refused. Exit status 0, 1 when the event could not
// be deleted (the reason on `err`), 2 for bad arguments or an unknown id.
int runDeleteCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);

// The same with the store given (loaded).
int runDeleteCommand(const QStringList &arguments, QTextStream &out, QTextStream &err, CalendarStore &store);
