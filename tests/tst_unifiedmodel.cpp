// SPDX-License-Identifier: GPL-3.0-or-later
// One event record for both sources: conversion, merging order, the events
// of a chosen day, and calendar targets' identity.
#include "TestSupport.h"

#include "calendar/AnyCalendarEvent.h"

namespace {
const QTimeZone Berlin("Europe/Berlin");

CalendarEvent local(const QString &id, const QString &title, const QDateTime &start)
{
    CalendarEvent event;
    event.id = id;
    event.title = title;
    event.hasTitle = !title.isEmpty();
    event.start = start;
    event.end = start.addSecs(3600);
    event.calendarColor = QStringLiteral("#00AA00");
    return event;
}

ZohoEvent zoho(const QString &id, const QString &title, const QDateTime &start)
{
    return ZohoEvent {id, QStringLiteral("cal"), title, start, start.addSecs(1800), false, QColor(255, 0, 0)};
}

QStringList ids(const QList<AnyCalendarEvent> &events)
{
    QStringList result;
    for (const AnyCalendarEvent &event : events)
        result.append(event.id);
    return result;
}

const QDateTime Nine(QDate(2026, 3, 25), QTime(9, 0), Berlin);
} // namespace

class UnifiedModelTest : public QObject
{
    Q_OBJECT

private slots:
    void conversions()
    {
        CalendarEvent untitled = local("l1", QString(), Nine);
        untitled.calendarColor.clear();
        const AnyCalendarEvent fromLocal = AnyCalendarEvent::fromLocal(untitled);
        QCOMPARE(fromLocal.title, QStringLiteral("Untitled"));
        QCOMPARE(fromLocal.color, systemBlue());
        QCOMPARE(fromLocal.source, Source::Local);
        QVERIFY(fromLocal.localEvent && !fromLocal.zohoEvent);

        const AnyCalendarEvent fromZoho = AnyCalendarEvent::fromZoho(zoho("abc", QString(), Nine));
        QCOMPARE(fromZoho.id, QStringLiteral("zoho_abc"));
        QCOMPARE(fromZoho.title, QString()); // no substitution for Zoho
        QCOMPARE(fromZoho.color, QColor(255, 0, 0));
        QVERIFY(fromZoho.zohoEvent && !fromZoho.localEvent);
    }

    void mergedListsOrderByStartLocalFirst()
    {
        QVERIFY(UnifiedEvents::merged({}, {}).isEmpty());
        const QList<AnyCalendarEvent> merged = UnifiedEvents::merged(
            {local("l-late", "a", Nine.addSecs(3600)), local("l-first", "b", Nine), local("l-second", "c", Nine)},
            {zoho("z-early", "d", Nine.addSecs(-60)), zoho("z-same", "e", Nine)});
        QCOMPARE(ids(merged), (QStringList {"zoho_z-early", "l-first", "l-second", "zoho_z-same", "l-late"}));
    }

    void eventsOfAChosenDay()
    {
        const QList<AnyCalendarEvent> today = UnifiedEvents::merged({local("today", "t", Nine)}, {});
        const QList<AnyCalendarEvent> upcoming
            = UnifiedEvents::merged({local("late-evening", "x", QDateTime(QDate(2026, 3, 26), QTime(23, 30), Berlin)),
                                        local("next-day", "y", QDateTime(QDate(2026, 3, 27), QTime(8, 0), Berlin))},
                {zoho("z", "z", QDateTime(QDate(2026, 3, 27), QTime(7, 0), Berlin))});
        QCOMPARE(ids(UnifiedEvents::eventsOfDay(std::nullopt, today, upcoming, Berlin)), QStringList {"today"});
        // The event from the evening before runs into the 27th but does not start there;
        // the upcoming part keeps its merged order (the Zoho event starts earlier).
        QCOMPARE(ids(UnifiedEvents::eventsOfDay(QDate(2026, 3, 27), today, upcoming, Berlin)),
            (QStringList {"zoho_z", "next-day"}));
        QCOMPARE(ids(UnifiedEvents::eventsOfDay(QDate(2026, 3, 25), today, upcoming, Berlin)), QStringList {"today"});
    }

    void calendarTargetsAreEqualByIdentity()
    {
        const CalendarTarget a = CalendarTarget::zoho(ZohoCalendar {"id1", "Name", "#FFFFFF", false});
        const CalendarTarget b = CalendarTarget::zoho(ZohoCalendar {"id1", "Other name", "#000000", true});
        QVERIFY(a == b);
        QCOMPARE(qHash(a), qHash(b));
        CalendarInfo info;
        info.identifier = QStringLiteral("id1");
        const CalendarTarget localOne = CalendarTarget::local(info);
        QVERIFY(!(localOne == a));
        QCOMPARE(QSet<CalendarTarget>({a, b, localOne}).size(), 2);
    }
};

BRIVANE_TEST_MAIN(UnifiedModelTest)
#include "tst_unifiedmodel.moc"
