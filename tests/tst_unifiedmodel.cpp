// SPDX-License-Identifier: GPL-3.0-or-later
// One event record for every calendar: conversion from the store's events,
// the events of a chosen day, and calendar targets' identity.
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

// An event of a Zoho calendar, as the store hands it out.
CalendarEvent zoho(const QString &id, const QString &title, const QDateTime &start)
{
    CalendarEvent event = local(QStringLiteral("zoho_") + id, title, start);
    event.end = start.addSecs(1800);
    event.calendarId = QStringLiteral("zoho:cal");
    event.calendarColor = QStringLiteral("#FF0000");
    event.providerId = ZohoProviderId;
    return event;
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
        untitled.providerId = QStringLiteral("eds");
        const AnyCalendarEvent fromLocal = AnyCalendarEvent::fromStore(untitled);
        QCOMPARE(fromLocal.title, QStringLiteral("Untitled"));
        QCOMPARE(fromLocal.color, systemBlue());
        QCOMPARE(fromLocal.source, Source::Local);
        QCOMPARE(fromLocal.storeEvent, untitled);

        const CalendarEvent zohoEvent = zoho("abc", QString(), Nine);
        const AnyCalendarEvent fromZoho = AnyCalendarEvent::fromStore(zohoEvent);
        QCOMPARE(fromZoho.id, QStringLiteral("zoho_abc"));
        QCOMPARE(fromZoho.title, QString()); // no substitution for Zoho
        QCOMPARE(fromZoho.color, QColor(255, 0, 0));
        QCOMPARE(fromZoho.source, Source::Zoho);
        QCOMPARE(fromZoho.startDate, Nine);
        QCOMPARE(fromZoho.endDate, Nine.addSecs(1800));
        // A colour that is no colour gives the blue, for Zoho's as for any.
        CalendarEvent odd = zohoEvent;
        odd.calendarColor = QStringLiteral("orange");
        QCOMPARE(AnyCalendarEvent::fromStore(odd).color, systemBlue());
    }

    void storeListsKeepTheStoresOrder()
    {
        QVERIFY(UnifiedEvents::fromStore({}).isEmpty());
        const QList<AnyCalendarEvent> list = UnifiedEvents::fromStore({zoho("z-early", "d", Nine.addSecs(-60)),
            local("l-first", "b", Nine), zoho("z-same", "e", Nine), local("l-late", "a", Nine.addSecs(3600))});
        QCOMPARE(ids(list), (QStringList {"zoho_z-early", "l-first", "zoho_z-same", "l-late"}));
        QCOMPARE(list[0].source, Source::Zoho);
        QCOMPARE(list[1].source, Source::Local);
    }

    void eventsOfAChosenDay()
    {
        const QList<AnyCalendarEvent> today = UnifiedEvents::fromStore({local("today", "t", Nine)});
        const QList<AnyCalendarEvent> upcoming = UnifiedEvents::fromStore(
            {local("late-evening", "x", QDateTime(QDate(2026, 3, 26), QTime(23, 30), Berlin)),
                zoho("z", "z", QDateTime(QDate(2026, 3, 27), QTime(7, 0), Berlin)),
                local("next-day", "y", QDateTime(QDate(2026, 3, 27), QTime(8, 0), Berlin))});
        QCOMPARE(ids(UnifiedEvents::eventsOfDay(std::nullopt, today, upcoming, Berlin)), QStringList {"today"});
        // The event from the evening before runs into the 27th but does not start there.
        QCOMPARE(ids(UnifiedEvents::eventsOfDay(QDate(2026, 3, 27), today, upcoming, Berlin)),
            (QStringList {"zoho_z", "next-day"}));
        QCOMPARE(ids(UnifiedEvents::eventsOfDay(QDate(2026, 3, 25), today, upcoming, Berlin)), QStringList {"today"});
    }

    void calendarTargetsAreEqualByIdentity()
    {
        CalendarInfo first;
        first.identifier = QStringLiteral("zoho:id1");
        first.title = QStringLiteral("Name");
        first.providerId = ZohoProviderId;
        CalendarInfo renamed = first;
        renamed.title = QStringLiteral("Other name");
        renamed.color = QStringLiteral("#000000");
        const CalendarTarget a(first);
        const CalendarTarget b(renamed);
        QVERIFY(a == b);
        QVERIFY(a.isZoho());
        QCOMPARE(qHash(a), qHash(b));
        CalendarInfo info;
        info.identifier = QStringLiteral("id1"); // Zoho's own id, but a local calendar's
        const CalendarTarget localOne(info);
        QVERIFY(!localOne.isZoho());
        QVERIFY(!(localOne == a));
        QCOMPARE(QSet<CalendarTarget>({a, b, localOne}).size(), 2);
    }
};

BRIVANE_TEST_MAIN(UnifiedModelTest)
#include "tst_unifiedmodel.moc"
