// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QString>
#include <QTimeZone>

#include <memory>
#include <vector>

// What the desktop's calendar provider keeps of the events Evolution Data
// Server hands it: compact, immutable records shared between the provider's
// thread and its workers. No EDS type appears here.
namespace Eds {

// One VEVENT of a calendar: a series, a lone event, or one changed
// occurrence of a series.
struct EventRecord
{
    QString uid;
    QString rid; // RECURRENCE-ID as EDS writes it; empty for the event itself
    QString ridKey; // the occurrence it replaces, in the form of CalendarEvent::recurrenceKey
    QString title;
    bool hasTitle = false;
    bool allDay = false;
    bool cancelled = false;
    bool floating = false; // a wall-clock time, placed in the user's zone
    qint64 startMs = 0;
    qint64 endMs = 0;
    QDate startDate; // all-day only
    QDate endDate; // all-day only, exclusive
    QTimeZone zone; // the start's IANA zone; invalid for UTC, floating or unknown zones
    bool recurring = false; // has RRULE or RDATE
    QByteArray ical; // the VEVENT's text, kept for recurring events only
};
using RecordPtr = std::shared_ptr<const EventRecord>;

struct Occurrence
{
    qint64 startMs = 0;
    qint64 endMs = 0;
    QDate startDate; // all-day only
    QDate endDate; // all-day only, exclusive
    QString ridKey; // empty for an event that does not repeat
    RecordPtr record; // the record that describes it (the series or its changed occurrence)
};

// Everything under one UID in one calendar, and its occurrences within the
// window it was expanded for.
struct Series
{
    RecordPtr master;
    QHash<QString, RecordPtr> detached; // by rid
    std::vector<Occurrence> occurrences;

    bool isEmpty() const { return !master && detached.isEmpty(); }
};
using SeriesPtr = std::shared_ptr<const Series>;

} // namespace Eds
