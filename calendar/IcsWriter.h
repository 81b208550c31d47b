#pragma once

#include "calendar/CalendarTypes.h"

#include <QByteArray>
#include <QTimeZone>

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
// override dropped. Without `recurrenceKey` the whole event goes.
Edit removeFromFile(
    const QByteArray &content, const QString &seriesKey, const QString &recurrenceKey, const QTimeZone &userZone);

// Replaces (or creates) the file through a temporary file and a rename.
StoreResult writeAtomically(const QString &path, const QByteArray &content);

} // namespace IcsWriter
