// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"

#include <QByteArray>
#include <QTimeZone>

#include <functional>

// Builds and edits iCalendar text, and writes files so that a reader never
// sees half a file.
namespace IcsWriter {

// A complete VCALENDAR for one new event. Timed events keep their IANA zone
// (with its VTIMEZONE); all-day events are DATE values.
QByteArray newEventFile(const NewEventRequest &request, const QString &uid, const QDateTime &stamp);

struct Edit
{
    bool ok = false;
    QString error;
    QByteArray content; // the new text, when the file stays
    bool deleteFile = false; // nothing of the file remains
};

// Removes one occurrence of the series `seriesKey` (its UID, or UID#n for the
// n-th event sharing a UID): an EXDATE on the master and the occurrence's
// override dropped. Without `recurrenceKey` the whole event goes. Every other
// line of the file stays as it was written.
Edit removeFromFile(
    const QByteArray &content, const QString &seriesKey, const QString &recurrenceKey, const QTimeZone &userZone);

// Replaces (or creates) the file through a temporary file and a rename.
StoreResult writeAtomically(const QString &path, const QByteArray &content);

struct Outcome
{
    StoreResult result;
    // The file no longer held `expected`: nothing was written.
    bool changedMeanwhile = false;
};

// Replaces the file with `content` through a temporary file and a rename,
// but only if it still holds `expected` just before the rename: an edit
// another program made meanwhile is never overwritten.
Outcome replaceIfUnchanged(const QString &path, const QByteArray &expected, const QByteArray &content);
// Deletes the file, but only if it still holds `expected`.
Outcome deleteIfUnchanged(const QString &path, const QByteArray &expected);

// Runs just before the final comparison; lets tests change the file there.
void setBeforeCommitHook(std::function<void(const QString &path)> hook);

} // namespace IcsWriter
