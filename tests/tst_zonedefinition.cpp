// SPDX-License-Identifier: GPL-3.0-or-later
// The VTIMEZONE written with a new event: only the zone's offsets from the
// event's start on, small, valid, and read by brivane's own parser (as a
// zone known only by its rules) to the same instants as the zone data. And
// the zone data itself past the zone file's table (2037).
#include "TestSupport.h"

#include "calendar/IcsParser.h"
#include "calendar/IcsWriter.h"
#include "calendar/TimeZoneRegistry.h"
#include "calendar/ZoneDefinition.h"
#include "calendar/ZoneOffsets.h"

#include <libical/ical.h>

#include <algorithm>
#include <memory>

using namespace TestSupport;

namespace {

const QDateTime Stamp(QDate(2026, 12, 8), QTime(10, 0), QTimeZone::utc());

using ComponentPtr = std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)>;

QByteArray newEventText(const QDateTime &start, qint64 lengthSecs = 3600)
{
    return IcsWriter::newEventFile(
        newEvent("calendar", "Planning", start, start.addSecs(lengthSecs)), "lean-zone@brivane.test", Stamp);
}

// The VTIMEZONE's lines, and the file without them.
std::pair<QByteArray, QByteArray> splitZone(const QByteArray &text)
{
    const qsizetype begin = text.indexOf("BEGIN:VTIMEZONE\r\n");
    const QByteArray endLine = "END:VTIMEZONE\r\n";
    const qsizetype end = text.indexOf(endLine);
    if (begin < 0 || end < begin)
        return {{}, text};
    return {text.mid(begin, end + endLine.size() - begin), text.left(begin) + text.mid(end + endLine.size())};
}

// The same text with the zone renamed to a name no zone data knows (and no
// piece of it), so that a reader must follow the VTIMEZONE's rules.
QByteArray renamed(const QByteArray &text, const QByteArray &zoneId, const QByteArray &name)
{
    QByteArray result = text;
    result.replace("TZID:" + zoneId + "\r\n", "TZID:" + name + "\r\n");
    result.replace(";TZID=" + zoneId + ":", ";TZID=\"" + name + "\":");
    return result;
}

QByteArray rulesName(const QByteArray &zoneId)
{
    QByteArray name = "Rules of " + zoneId;
    return name.replace('/', ' ');
}

struct Shape
{
    int standard = 0;
    int daylight = 0;
    int withRule = 0;
    int withUntil = 0;
    QList<QDateTime> onsets; // each observance's DTSTART, wall-clock as UTC
    QStringList problems; // what RFC 5545 asks of a VTIMEZONE and is missing
};

// Counts the observances, and notes where one lacks what RFC 5545 asks of
// every observance.
Shape shapeOf(const QByteArray &vtimezone)
{
    Shape shape;
    ComponentPtr zone(icalparser_parse_string(vtimezone.constData()), &icalcomponent_free);
    if (!zone || icalcomponent_isa(zone.get()) != ICAL_VTIMEZONE_COMPONENT) {
        shape.problems.append(QStringLiteral("not a VTIMEZONE"));
        return shape;
    }
    for (icalcomponent *component = icalcomponent_get_first_component(zone.get(), ICAL_ANY_COMPONENT); component;
         component = icalcomponent_get_next_component(zone.get(), ICAL_ANY_COMPONENT)) {
        const icalcomponent_kind kind = icalcomponent_isa(component);
        if (kind == ICAL_XSTANDARD_COMPONENT)
            ++shape.standard;
        else if (kind == ICAL_XDAYLIGHT_COMPONENT)
            ++shape.daylight;
        else
            shape.problems.append(QStringLiteral("a component that is no observance"));
        for (icalproperty_kind required :
            {ICAL_DTSTART_PROPERTY, ICAL_TZOFFSETFROM_PROPERTY, ICAL_TZOFFSETTO_PROPERTY}) {
            if (icalcomponent_count_properties(component, required) != 1)
                shape.problems.append(QStringLiteral("observance without exactly one %1")
                                          .arg(QString::fromLatin1(icalproperty_kind_to_string(required))));
        }
        if (icalcomponent_count_properties(component, ICAL_RRULE_PROPERTY) > 1)
            shape.problems.append(QStringLiteral("more than one RRULE"));
        if (icalproperty *rule = icalcomponent_get_first_property(component, ICAL_RRULE_PROPERTY)) {
            ++shape.withRule;
            if (!icaltime_is_null_time(icalproperty_get_rrule(rule).until))
                ++shape.withUntil;
        }
        if (icalproperty *start = icalcomponent_get_first_property(component, ICAL_DTSTART_PROPERTY)) {
            const icaltimetype time = icalproperty_get_dtstart(start);
            shape.onsets.append(QDateTime(
                QDate(time.year, time.month, time.day), QTime(time.hour, time.minute, time.second), QTimeZone::utc()));
        }
    }
    if (shape.standard + shape.daylight == 0)
        shape.problems.append(QStringLiteral("no observance"));
    return shape;
}

// libical's check of what each component must and may hold.
bool validIcalendar(const QByteArray &text)
{
    ComponentPtr calendar(icalparser_parse_string(text.constData()), &icalcomponent_free);
    if (!calendar || icalcomponent_count_errors(calendar.get()) > 0)
        return false;
    return icalrestriction_check(calendar.get()) && icalcomponent_count_errors(calendar.get()) == 0;
}

// Every wall-clock time that matters between `first` and `last`: noon and
// the small hours of every day, and every quarter hour around each change
// of offset, read through `rules` and through the zone data (QTimeZone's
// offsets, a repeated time read as its first pass, a skipped one with the
// offset before) must be the same instant. Returns the first difference, or
// an empty string.
QString firstDifference(const ResolvedZone &rules, const QTimeZone &zone, QDate first, QDate last)
{
    auto differs = [&](QDate day, QTime time) -> QString {
        const qint64 wallMs = QDateTime(day, time, QTimeZone::utc()).toMSecsSinceEpoch();
        const qint64 expected = ZoneOffsets::instantOfWallTime(wallMs, [&zone](qint64 ms) {
            return qint64(zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()))) * 1000;
        });
        const qint64 read = rules.toDateTime(day, time).toMSecsSinceEpoch();
        if (read == expected)
            return {};
        return QStringLiteral("%1 %2: %3 s off")
            .arg(day.toString(Qt::ISODate), time.toString(), QString::number((read - expected) / 1000));
    };
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        for (const QTime time : {QTime(2, 30), QTime(12, 0)}) {
            if (const QString difference = differs(day, time); !difference.isEmpty())
                return difference;
        }
    }
    const QDateTime from(first.addDays(-1), QTime(0, 0), QTimeZone::utc());
    const QDateTime to(last.addDays(1), QTime(0, 0), QTimeZone::utc());
    for (const QTimeZone::OffsetData &change : ZoneOffsets::changesBetween(zone, from, to)) {
        const QDateTime wall = change.atUtc.toUTC().addSecs(change.offsetFromUtc);
        for (QDateTime at = wall.addDays(-1); at <= wall.addDays(1); at = at.addSecs(15 * 60)) {
            if (at.date() < first || at.date() > last)
                continue;
            if (const QString difference = differs(at.date(), at.time()); !difference.isEmpty())
                return difference;
        }
    }
    return {};
}

} // namespace

class ZoneDefinitionTest : public QObject
{
    Q_OBJECT

private slots:
    void newEventsCarryTheZoneFromTheirStartOn_data()
    {
        QTest::addColumn<QByteArray>("zoneId");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<int>("standards");
        QTest::addColumn<int>("daylights");
        QTest::addColumn<bool>("ruleForGood"); // the last yearly rules hold on without end
        QTest::addColumn<QDate>("checkedUntil");

        auto at = [](const char *zone, QDate day, QTime time) { return QDateTime(day, time, QTimeZone(zone)); };
        QTest::newRow("Berlin, summer") << QByteArray("Europe/Berlin")
                                        << at("Europe/Berlin", QDate(2027, 6, 15), QTime(10, 0)) << 1 << 1 << true
                                        << QDate(2105, 12, 31);
        QTest::newRow("Berlin, winter") << QByteArray("Europe/Berlin")
                                        << at("Europe/Berlin", QDate(2027, 1, 15), QTime(10, 0)) << 1 << 1 << true
                                        << QDate(2060, 12, 31);
        QTest::newRow("Berlin, the night summer time ends")
            << QByteArray("Europe/Berlin") << at("Europe/Berlin", QDate(2027, 10, 31), QTime(1, 0)) << 1 << 1 << true
            << QDate(2040, 12, 31);
        QTest::newRow("New York, the day summer time starts")
            << QByteArray("America/New_York") << at("America/New_York", QDate(2027, 3, 14), QTime(9, 0)) << 1 << 1
            << true << QDate(2060, 12, 31);
        QTest::newRow("Sydney, southern summer")
            << QByteArray("Australia/Sydney") << at("Australia/Sydney", QDate(2027, 1, 20), QTime(18, 30)) << 1 << 1
            << true << QDate(2060, 12, 31);
        QTest::newRow("Lord Howe, half an hour of summer time")
            << QByteArray("Australia/Lord_Howe") << at("Australia/Lord_Howe", QDate(2027, 7, 1), QTime(8, 0)) << 1 << 1
            << true << QDate(2050, 12, 31);
        QTest::newRow("Kolkata, no summer time")
            << QByteArray("Asia/Kolkata") << at("Asia/Kolkata", QDate(2027, 5, 1), QTime(9, 0)) << 1 << 0 << false
            << QDate(2060, 12, 31);
        QTest::newRow("Sao Paulo, after summer time was dropped")
            << QByteArray("America/Sao_Paulo") << at("America/Sao_Paulo", QDate(2027, 1, 10), QTime(9, 0)) << 1 << 0
            << false << QDate(2060, 12, 31);
        QTest::newRow("Moscow, after its last change")
            << QByteArray("Europe/Moscow") << at("Europe/Moscow", QDate(2027, 3, 1), QTime(9, 0)) << 1 << 0 << false
            << QDate(2060, 12, 31);
        QTest::newRow("Berlin, far ahead")
            << QByteArray("Europe/Berlin") << at("Europe/Berlin", QDate(2090, 7, 1), QTime(10, 0)) << 1 << 1 << true
            << QDate(2140, 12, 31);
        QTest::newRow("a fixed offset without any change")
            << QByteArray("Etc/GMT-14") << at("Etc/GMT-14", QDate(2027, 5, 1), QTime(9, 0)) << 1 << 0 << false
            << QDate(2040, 12, 31);
    }
    void newEventsCarryTheZoneFromTheirStartOn()
    {
        QFETCH(QByteArray, zoneId);
        QFETCH(QDateTime, start);
        QFETCH(int, standards);
        QFETCH(int, daylights);
        QFETCH(bool, ruleForGood);
        QFETCH(QDate, checkedUntil);
        QVERIFY(start.isValid());

        const QByteArray text = newEventText(start, 90 * 60);
        QVERIFY(validIcalendar(text));
        const auto [vtimezone, rest] = splitZone(text);
        QVERIFY2(vtimezone.startsWith("BEGIN:VTIMEZONE\r\nTZID:" + zoneId + "\r\n"), vtimezone.constData());
        QVERIFY2(vtimezone.size() < 1024, vtimezone.constData());

        const Shape shape = shapeOf(vtimezone);
        QVERIFY2(shape.problems.isEmpty(), qPrintable(shape.problems.join(", ")));
        QCOMPARE(shape.standard, standards);
        QCOMPARE(shape.daylight, daylights);
        QCOMPARE(shape.withRule, ruleForGood ? 2 : 0);
        QVERIFY2(shape.withUntil == 0, vtimezone.constData());
        // The first observance is in force at the start: nothing before it.
        const QDateTime startWall(start.date(), start.time(), QTimeZone::utc());
        QVERIFY(!shape.onsets.isEmpty());
        QVERIFY(*std::min_element(shape.onsets.begin(), shape.onsets.end()) <= startWall);

        // Read as a zone known only by these rules.
        const QByteArray name = rulesName(zoneId);
        const ParsedFile file = IcsParser::parse("/calendar/lean.ics", "calendar", renamed(text, zoneId, name));
        QVERIFY(file.problems.isEmpty());
        QCOMPARE(file.series().size(), size_t(1));
        const EventRecord &event = file.series().front().master;
        QVERIFY(event.start.zone);
        QCOMPARE(event.start.zone->tzid(), name);
        QVERIFY(!event.start.zone->isIana()); // the rules themselves, not a fixed offset
        QCOMPARE(event.start.toMSecs(QTimeZone::utc()), start.toMSecsSinceEpoch());
        QCOMPARE(event.durationSeconds, qint64(90 * 60));
        const QString difference = firstDifference(*event.start.zone, QTimeZone(zoneId), start.date(), checkedUntil);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // The rules are what makes the comparison above fail where they are
    // wrong: a summer rule one week off is found.
    void aWrongRuleIsFound()
    {
        const QTimeZone berlin("Europe/Berlin");
        const QByteArray text = newEventText(QDateTime(QDate(2027, 6, 15), QTime(10, 0), berlin));
        QByteArray wrong = renamed(text, "Europe/Berlin", "Rules of Europe Berlin");
        QVERIFY(wrong.contains("BYDAY=-1SU;BYMONTH=3") || wrong.contains("BYMONTH=3;BYDAY=-1SU"));
        wrong.replace("BYDAY=-1SU;BYMONTH=3", "BYDAY=4SU;BYMONTH=3")
            .replace("BYMONTH=3;BYDAY=-1SU", "BYMONTH=3;BYDAY=4SU");
        const ParsedFile file = IcsParser::parse("/calendar/wrong.ics", "calendar", wrong);
        QCOMPARE(file.series().size(), size_t(1));
        const ResolvedZone *zone = file.series().front().master.start.zone;
        QVERIFY(zone);
        // Up to 2029 March's fourth Sunday is its last; in 2030 it is the 24th, the last the 31st.
        QVERIFY(!firstDifference(*zone, berlin, QDate(2027, 6, 15), QDate(2030, 12, 31)).isEmpty());
    }

    // Everything but the VTIMEZONE is written as it always was.
    void theEventsOwnLinesStayAsTheyWere()
    {
        const QByteArray text
            = newEventText(QDateTime(QDate(2027, 6, 15), QTime(10, 0), QTimeZone("Europe/Berlin")), 30 * 60);
        QCOMPARE(splitZone(text).second,
            ics({"BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//brivane//brivane//EN", "BEGIN:VEVENT",
                "UID:lean-zone@brivane.test", "DTSTAMP:20261208T100000Z", "CREATED:20261208T100000Z",
                "LAST-MODIFIED:20261208T100000Z", "SUMMARY:Planning", "DTSTART;TZID=Europe/Berlin:20270615T100000",
                "DTEND;TZID=Europe/Berlin:20270615T103000", "END:VEVENT", "END:VCALENDAR"}));
        // Right after the calendar's own properties, before the event.
        QVERIFY(text.contains("PRODID:-//brivane//brivane//EN\r\nBEGIN:VTIMEZONE\r\n"));
        QVERIFY(text.contains("END:VTIMEZONE\r\nBEGIN:VEVENT\r\n"));
    }

    // The checks used above find an observance without its offsets, and a
    // file libical cannot read.
    void anIncompleteDefinitionIsFound()
    {
        const QByteArray text = newEventText(QDateTime(QDate(2027, 6, 15), QTime(10, 0), QTimeZone("Europe/Berlin")));
        const QByteArray vtimezone = splitZone(text).first;
        QVERIFY(shapeOf(vtimezone).problems.isEmpty());
        for (const QByteArray property : {"TZOFFSETFROM:", "TZOFFSETTO:", "DTSTART:"}) {
            const qsizetype from = vtimezone.indexOf(property);
            QVERIFY(from > 0);
            QByteArray broken = vtimezone;
            broken.remove(from, vtimezone.indexOf("\r\n", from) + 2 - from);
            QVERIFY2(!shapeOf(broken).problems.isEmpty(), property.constData());
        }
        QVERIFY(validIcalendar(text));
        QByteArray unreadable = text;
        QVERIFY(!validIcalendar(unreadable.replace("TZOFFSETTO:+0200\r\n", "TZOFFSETTO:+0200\r\nNO COLON\r\n")));
    }

    // A zone Qt knows by POSIX rules alone has no name another program could
    // read: the event is written in UTC, at the same instant.
    void aZoneWithoutADatabaseNameIsWrittenInUtc()
    {
        const QTimeZone rules("CET-1CEST,M3.5.0,M10.5.0/3");
        if (!rules.isValid())
            QSKIP("this Qt takes no POSIX rules as a zone");
        const QDateTime start(QDate(2027, 6, 15), QTime(10, 0), rules);
        const QByteArray text = newEventText(start);
        QVERIFY(!text.contains("VTIMEZONE"));
        QVERIFY2(text.contains("\r\nDTSTART:20270615T080000Z\r\n"), text.constData());
        QVERIFY(validIcalendar(text));
    }

    // Zone files list changes up to 2037 and a rule for the years after;
    // the fast conversion of wall-clock times follows that rule too.
    void wallTimesAfterTheZoneFilesTable_data()
    {
        QTest::addColumn<QByteArray>("zoneId");
        QTest::newRow("Berlin") << QByteArray("Europe/Berlin");
        QTest::newRow("New York") << QByteArray("America/New_York");
        QTest::newRow("Sydney") << QByteArray("Australia/Sydney");
    }
    void wallTimesAfterTheZoneFilesTable()
    {
        QFETCH(QByteArray, zoneId);
        const QTimeZone zone(zoneId);
        for (int year = 2036; year <= 2099; ++year) {
            for (int month : {1, 7}) {
                const QDate day(year, month, 15);
                const QDateTime expected(day, QTime(10, 0), zone);
                QCOMPARE(ZoneOffsets::msecsOf(zone, day, QTime(10, 0)), expected.toMSecsSinceEpoch());
            }
        }
        // As an event's start is read.
        const ParsedFile file = IcsParser::parse("/calendar/later.ics", "calendar",
            singleEvent("UID:later\r\nDTSTAMP:20261208T100000Z\r\nDTSTART;TZID=" + zoneId
                + ":20500715T100000\r\nDURATION:PT1H\r\n"));
        QCOMPARE(file.series().size(), size_t(1));
        QCOMPARE(file.series().front().master.start.toMSecs(QTimeZone::utc()),
            QDateTime(QDate(2050, 7, 15), QTime(10, 0), zone).toMSecsSinceEpoch());
    }

    // A series that ends: changes past its end are left out, while the
    // offsets up to the end stay right.
    void aSeriesThatEndsCarriesItsYearsOnly_data()
    {
        QTest::addColumn<QByteArray>("zoneId");
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<QDateTime>("until");
        QTest::addColumn<int>("observances");

        auto at = [](const char *zone, QDate day) { return QDateTime(day, QTime(9, 0), QTimeZone(zone)); };
        // October's summer time of 2016 and 2017 and its end in February,
        // a rule into 2019; not 2018's start in November.
        QTest::newRow("Sao Paulo before summer time was dropped")
            << QByteArray("America/Sao_Paulo") << at("America/Sao_Paulo", QDate(2016, 6, 1))
            << at("America/Sao_Paulo", QDate(2017, 12, 31)) << 2;
        // 2010's summer, its end, nothing of 2011's or 2014's changes.
        QTest::newRow("Moscow before its changes of 2011 and 2014")
            << QByteArray("Europe/Moscow") << at("Europe/Moscow", QDate(2010, 5, 1))
            << at("Europe/Moscow", QDate(2010, 12, 31)) << 2;
        QTest::newRow("Berlin: the rules stay whole")
            << QByteArray("Europe/Berlin") << at("Europe/Berlin", QDate(2027, 1, 4))
            << at("Europe/Berlin", QDate(2027, 12, 27)) << 2;
    }
    void aSeriesThatEndsCarriesItsYearsOnly()
    {
        QFETCH(QByteArray, zoneId);
        QFETCH(QDateTime, from);
        QFETCH(QDateTime, until);
        QFETCH(int, observances);
        const QTimeZone zone(zoneId);
        const QByteArray name = rulesName(zoneId) + " until " + until.date().toString(Qt::ISODate).toLatin1();
        ComponentPtr vtimezone(ZoneDefinition::vtimezone(zone, name, from, until), &icalcomponent_free);
        QVERIFY(vtimezone);
        char *raw = icalcomponent_as_ical_string_r(vtimezone.get());
        const QByteArray text(raw);
        icalmemory_free_buffer(raw);

        const Shape shape = shapeOf(text);
        QVERIFY2(shape.problems.isEmpty(), qPrintable(shape.problems.join(", ")));
        QCOMPARE(shape.standard + shape.daylight, observances);
        const QDateTime untilWall(until.date(), until.time(), QTimeZone::utc());
        for (const QDateTime &onset : shape.onsets)
            QVERIFY2(onset <= untilWall, qPrintable(onset.toString(Qt::ISODate)));

        const ResolvedZone *rules = TimeZoneRegistry::instance().resolveDefinition(name, text);
        QVERIFY(rules);
        QVERIFY(!rules->isIana());
        const QString difference = firstDifference(*rules, zone, from.date(), until.date());
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }
};

QTEST_GUILESS_MAIN(ZoneDefinitionTest)
#include "tst_zonedefinition.moc"
