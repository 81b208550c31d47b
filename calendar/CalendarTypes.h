// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>

// An account that holds calendars ("Local", a vdirsyncer account, an online
// account of the desktop, Zoho).
struct CalendarSource
{
    Q_GADGET
    Q_PROPERTY(QString identifier MEMBER identifier)
    Q_PROPERTY(QString title MEMBER title)
    Q_PROPERTY(QString service MEMBER service)
public:
    QString identifier;
    QString title;
    QString providerId;
    // The kind of account where it is known ("zoho"); views decide by it,
    // never by words in the title.
    QString service;
};

struct CalendarInfo
{
    Q_GADGET
    Q_PROPERTY(QString identifier MEMBER identifier)
    Q_PROPERTY(QString title MEMBER title)
    Q_PROPERTY(QString color MEMBER color)
    Q_PROPERTY(QString sourceId MEMBER sourceId)
    Q_PROPERTY(bool allowsModifications MEMBER allowsModifications)
public:
    QString identifier; // stable across restarts
    QString title;
    QString color; // "#RRGGBB", empty when the calendar has none
    QString sourceId;
    QString providerId;
    bool allowsModifications = false;
};

// One occurrence of an event, as the store hands it out. All-day events keep
// their dates (`startDate`, exclusive `endDate`); `start`/`end` then hold the
// local midnights of those dates, for ordering and overlap only.
struct CalendarEvent
{
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id)
    Q_PROPERTY(QString eventIdentifier MEMBER eventIdentifier)
    Q_PROPERTY(QString title MEMBER title)
    Q_PROPERTY(bool hasTitle MEMBER hasTitle)
    Q_PROPERTY(QDateTime start MEMBER start)
    Q_PROPERTY(QDateTime end MEMBER end)
    Q_PROPERTY(bool allDay MEMBER allDay)
    Q_PROPERTY(QString calendarId MEMBER calendarId)
    Q_PROPERTY(QString calendarTitle MEMBER calendarTitle)
    Q_PROPERTY(QString calendarColor MEMBER calendarColor)
    Q_PROPERTY(bool isRecurring MEMBER isRecurring)
public:
    QString id; // unique among all occurrences of all events
    QString eventIdentifier; // shared by every occurrence of a series
    QString title;
    bool hasTitle = false;
    QDateTime start;
    QDateTime end;
    bool allDay = false;
    QDate startDate; // all-day only
    QDate endDate; // all-day only, exclusive
    QString calendarId;
    QString calendarTitle;
    QString calendarColor;
    QString sourceId;
    QString providerId;
    bool isRecurring = false;
    // Identifies this occurrence inside its series ("20261207T090000Z" or
    // "20261207"); empty for an event that does not repeat.
    QString recurrenceKey;

    bool operator==(const CalendarEvent &other) const = default;
};

// When an event reminds (a VALARM that displays or plays a sound): an
// offset from its start or end, or a fixed instant. See EventAlarms for the
// moment each occurrence's alarm comes due.
struct EventAlarm
{
    enum class Anchor : quint8 { Start, End, Instant };
    Anchor anchor = Anchor::Start;
    qint64 offsetSeconds = 0; // Start and End: negative is before
    QDateTime instant; // Instant only, in UTC

    bool operator==(const EventAlarm &other) const = default;
};

// The rarely shown parts of an event, read when a detail view asks
// (CalendarStore::eventDetails), not kept with every occurrence.
struct EventDetails
{
    QString notes;
    QString url;
    QString location;
    QList<EventAlarm> alarms;

    bool operator==(const EventDetails &other) const = default;
};

// What a new event is made of. For an all-day event only the dates of
// `start` and `end` count, and `end`'s date is the last day (inclusive).
struct NewEventRequest
{
    QString calendarId;
    QString title;
    QDateTime start;
    QDateTime end;
    bool allDay = false;
    QString notes;
    QString url;
    QString location;
};

enum class RemoveSpan { ThisEvent };

struct StoreResult
{
    bool ok = false;
    QString error; // user-facing reason when !ok
    QString eventId; // the saved event's series identifier when ok

    static StoreResult success(const QString &id = {}) { return {true, {}, id}; }
    static StoreResult failure(const QString &reason) { return {false, reason, {}}; }
};

// The days an event may lie on: what every reader of the file, brivane's
// own included, reads back as it was written (iCalendar libraries stop at
// the year 3000; a file with a date they cannot write is unreadable).
QDate firstStorableDay();
QDate lastStorableDay();
// Empty when the event lies within those days (in its own zone); otherwise
// what the user reads. `end` is the last day for all-day events.
QString storableRangeProblem(const QDateTime &start, const QDateTime &end, bool allDay);

// Overlap rule of range queries: any part inside [rangeStart, rangeEnd); an
// event without duration counts when its start lies in the range.
bool overlapsRange(qint64 eventStartMs, qint64 eventEndMs, qint64 rangeStartMs, qint64 rangeEndMs);

// Stable ordering by start, as every list of the program shows events.
void sortByStart(QList<CalendarEvent> &events);

Q_DECLARE_METATYPE(CalendarEvent)
Q_DECLARE_METATYPE(CalendarInfo)
