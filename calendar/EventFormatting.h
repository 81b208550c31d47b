// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"

#include <QTimeZone>

namespace EventFormatting {

// "09:00–10:30" on the 24-hour clock in `zone`, or "All day".
QString timeText(const CalendarEvent &event, const QTimeZone &zone);
QString timeText(const QDateTime &start, const QDateTime &end, bool allDay, const QTimeZone &zone);

// Titles come from other programs' files and servers: a synced SUMMARY may
// hold line breaks, terminal escapes or megabytes. What the program keeps and
// shows of a title is at most this many user-perceived characters.
constexpr qsizetype MaxTitleCharacters = 300;
// Code units of a title looked at for those characters (a character with
// combining marks takes several); the rest is never read.
constexpr qsizetype ScannedTitleUnits = 16 * MaxTitleCharacters;

// Whether `c` is a control character (C0 with tab and line feed, DEL, C1) or a
// Unicode line or paragraph separator: what would break a line or reach a
// terminal as a command.
bool isLineBreakingOrControl(char32_t c);

// `title` fit for one line: every run of white space holding a control
// character or line separator becomes one space (none at either end), and a
// title longer than MaxTitleCharacters is cut after that many characters
// (never inside a character made of several code points) and ends in "…".
// Long titles are cut before they are looked at whole.
QString oneLineTitle(const QString &title);
// The same from UTF-8 text (a parser's), of which only as much is decoded as
// is looked at; null gives an empty title.
QString oneLineTitleFromUtf8(const char *text);

// The title fit for one line, or "Untitled" when the event has none.
QString displayTitle(const CalendarEvent &event);

// Whether the event runs at `now`; both ends count.
bool isHappening(const QDateTime &start, const QDateTime &end, const QDateTime &now);

// Where the event stands against `now`, in whole minutes truncated toward
// zero: "in 5m", "in 2h", "in 3d" before it; "ends in 12m" or "now" while it
// runs; "-40m" or "-4h" after it, counted from its start.
QString relativeTimeLabel(const QDateTime &start, const QDateTime &end, const QDateTime &now);

} // namespace EventFormatting
