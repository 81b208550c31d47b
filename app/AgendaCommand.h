// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class CalendarStore;
class QTextStream;

// `brivane agenda [--at DATETIME] [--json] [--all]`: the events the popover
// lists (the first ten of each list, and how many more; all with --all), for
// scripts and for checking. Returns the process exit status.
int runAgendaCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);

// The same output from a store that is loaded already (the running
// instance's), for a command that asked it. Zoho is left out: an instance
// that has Zoho connected lets the command sync for itself. False, with
// nothing written, when the arguments are not the command's.
bool answerAgendaCommand(const QStringList &arguments, const CalendarStore &store, QTextStream &out);
