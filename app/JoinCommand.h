// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSet>
#include <QStringList>
#include <QUrl>

#include <functional>

class CalendarStore;
class QTextStream;

// Opens a link through the desktop's URL handler; false when that could not
// be started.
using UrlOpener = std::function<bool(const QUrl &url)>;

// `brivane join [--at DATETIME]`: opens the meeting link of the event under
// way or starting within 15 minutes (MeetingLinks::meetingToJoin), of the
// calendars shown, and prints the event's title and the link. Exit status 0,
// 1 when there is no meeting to join or the link could not be opened, 2 for
// bad arguments.
int runJoinCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);

// The same with the store (loaded), the hidden calendars and the opener given.
int runJoinCommand(const QStringList &arguments, QTextStream &out, QTextStream &err, const CalendarStore &store,
    const QSet<QString> &hiddenCalendarIds, const UrlOpener &open);
