// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class CalendarStore;
class QTextStream;

// `brivane status [--json] [--follow] [--at DATETIME]`: the status title for
// text panels (waybar, polybar, i3blocks …). Returns the exit status; with
// --follow it prints a line at every change until killed.
int runStatusCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);

// The same first line from a store that is loaded already (the running
// instance's), for a command that asked it. False, with nothing written,
// for --follow (which keeps its own store) and for arguments that are not
// the command's.
bool answerStatusCommand(const QStringList &arguments, const CalendarStore &store, QTextStream &out);

// For a command that follows the running instance (`--follow` through its
// socket): the line now from the instance's store, or nothing written while
// the calendars are still loading. False for arguments without --follow and
// arguments that are not the command's.
bool answerFollowingStatusCommand(const QStringList &arguments, const CalendarStore &store, QTextStream &out);
