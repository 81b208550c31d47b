// SPDX-License-Identifier: GPL-3.0-or-later
// The popover's view models without their QML: the month's cells, clicks
// and keys in the grid, the sections of the list and their labels over
// time, the detail's rows by kind of event, the form's defaults, targets and
// saves (once only), and the root's sheets and reloads.
#include "PopoverTestSupport.h"

#include "calendar/EventFormatting.h"
#include "calendar/FixedColors.h"
#include "calendar/SafeFile.h"

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
// Wednesday 25 March 2026, 10:00 in Berlin.
const QDateTime Now(QDate(2026, 3, 25), QTime(10, 0), Berlin);

QDateTime at(int day, int hour, int minute = 0, int month = 3)
{
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), Berlin);
}

QByteArray timed(const char *title, const QDateTime &start, const QDateTime &end)
{
    const QString format = QStringLiteral("yyyyMMdd'T'HHmmss");
    return QByteArray("SUMMARY:") + title + "\r\nDTSTART;TZID=Europe/Berlin:" + start.toString(format).toUtf8()
        + "\r\nDTEND;TZID=Europe/Berlin:" + end.toString(format).toUtf8() + "\r\n";
}

int blanksBefore(const QList<DayCell> &cells)
{
    int blanks = 0;
    while (blanks < cells.size() && !cells[blanks].date.isValid())
        ++blanks;
    return blanks;
}

QStringList rowKinds(const EventDetailViewModel &detail)
{
    QStringList kinds;
    for (const EventDetailViewModel::Row &row : detail.rowList())
        kinds.append(row.kind);
    return kinds;
}

QString rowLabel(const EventDetailViewModel &detail, const QString &kind)
{
    for (const EventDetailViewModel::Row &row : detail.rowList()) {
        if (row.kind == kind)
            return row.label;
    }
    return {};
}

// The event of `events` with this title; an empty one (failing what is
// compared next) when there is none.
AnyCalendarEvent eventTitled(const QList<AnyCalendarEvent> &events, const QString &title)
{
    for (const AnyCalendarEvent &event : events) {
        if (event.title == title)
            return event;
    }
    qWarning("no event is titled \"%s\"", qPrintable(title));
    return {};
}

} // namespace

class PopoverModelsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PopoverFixture> m_popover;

    PopoverFixture &popover() { return *m_popover; }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() { m_popover = std::make_unique<PopoverFixture>(Now, Berlin); }
    void cleanup() { m_popover.reset(); }

    // ---- the month grid

    void cellsOfAMonth_data()
    {
        QTest::addColumn<QDate>("month");
        QTest::addColumn<int>("blanks");
        QTest::addColumn<int>("rows");
        QTest::newRow("starts on Monday") << QDate(2026, 6, 1) << 0 << 5;
        QTest::newRow("starts on Sunday, 31 days: six rows") << QDate(2026, 3, 1) << 6 << 6;
        QTest::newRow("starts on Saturday, 31 days: six rows") << QDate(2026, 8, 1) << 5 << 6;
        QTest::newRow("February 2027, not leap, starts on Monday") << QDate(2027, 2, 1) << 0 << 4;
        QTest::newRow("February 2028, leap") << QDate(2028, 2, 1) << 1 << 5;
    }
    void cellsOfAMonth()
    {
        QFETCH(QDate, month);
        QFETCH(int, blanks);
        QFETCH(int, rows);
        // Any day of the month names it.
        const QList<DayCell> cells = CalendarGridViewModel::cellsOf(month.addDays(9), std::nullopt, {}, false);
        QCOMPARE(blanksBefore(cells), blanks);
        QCOMPARE(cells.size(), rows * 7);
        QCOMPARE(cells[blanks].date, month);
        QCOMPARE(cells[blanks].date.dayOfWeek(), blanks + 1); // Monday-first columns
        const auto days = std::count_if(cells.begin(), cells.end(), [](const DayCell &c) { return c.date.isValid(); });
        QCOMPARE(int(days), month.daysInMonth());
        QVERIFY(std::all_of(cells.begin(), cells.end(),
            [](const DayCell &c) { return !c.date.isValid() || c.isCurrentMonth; })); // no neighbours' days
    }

    // ISO weeks: a row's week is its Monday's, even where that Monday or
    // the row's Thursday lies in another year.
    void weekNumbersOfAMonth_data()
    {
        QTest::addColumn<QDate>("month");
        QTest::addColumn<QList<int>>("weeks");
        QTest::newRow("January 2027 opens in 2026's week 53") << QDate(2027, 1, 1) << QList<int> {53, 1, 2, 3, 4};
        QTest::newRow("December 2024 closes in 2025's week 1")
            << QDate(2024, 12, 1) << QList<int> {48, 49, 50, 51, 52, 1};
        QTest::newRow("February 2021, four whole weeks") << QDate(2021, 2, 1) << QList<int> {5, 6, 7, 8};
        QTest::newRow("March 2026, six rows") << QDate(2026, 3, 1) << QList<int> {9, 10, 11, 12, 13, 14};
        QTest::newRow("December 2026 ends in week 53") << QDate(2026, 12, 1) << QList<int> {49, 50, 51, 52, 53};
    }
    void weekNumbersOfAMonth()
    {
        QFETCH(QDate, month);
        QFETCH(QList<int>, weeks);
        QCOMPARE(CalendarGridViewModel::weekNumbersOf(month.addDays(5)), weeks);
        // One number per row of the grid.
        QCOMPARE(weeks.size() * 7, CalendarGridViewModel::cellsOf(month, std::nullopt, {}, false).size());
    }

    void weekNumbersFollowTheSettingAndTheMonth()
    {
        CalendarGridViewModel grid(*popover().settings, popover().clock);
        QVERIFY(!grid.showWeekNumbers()); // off until turned on
        QSignalSpy shown(&grid, &CalendarGridViewModel::showWeekNumbersChanged);
        popover().settings->setShowWeekNumbers(true);
        QVERIFY(grid.showWeekNumbers());
        QCOMPARE(shown.size(), 1);
        QCOMPARE(grid.weekNumbers().first().toMap().value("name").toString(), QStringLiteral("Week 9"));
        grid.showNextMonth(); // April 2026
        QCOMPARE(grid.weekNumbers().first().toMap().value("number").toInt(), 14);
        QCOMPARE(grid.weekNumbers().size(), grid.rowCount());
        popover().settings->setShowWeekNumbers(false);
    }

    void cellColoursByCase()
    {
        const QDate today(2026, 3, 25);
        const QList<DayCell> cells = CalendarGridViewModel::cellsOf(today, today, today, true);
        auto cellOf = [&](int day) { return cells[blanksBefore(cells) + day - 1]; };
        using M = DayCellsModel;
        // Today stays today when selected too; a blank cell draws nothing.
        QCOMPARE(M::textStyleOf(cellOf(25)), M::TodayText);
        QCOMPARE(M::backgroundOf(cellOf(25)), M::TodayCircle);
        QCOMPARE(M::textStyleOf(cells[0]), M::ClearText);
        QCOMPARE(M::textStyleOf(cellOf(28)), M::DimmedCurrentMonthText); // a Saturday
        QCOMPARE(M::textStyleOf(cellOf(27)), M::CurrentMonthText); // a Friday
        QVERIFY(cells[5].dimmed && cells[6].dimmed && !cells[4].dimmed);

        const QList<DayCell> selected = CalendarGridViewModel::cellsOf(today, QDate(2026, 3, 26), today, false);
        QCOMPARE(M::backgroundOf(selected[blanksBefore(selected) + 25]), M::SelectedCircle);
        QCOMPARE(M::textStyleOf(selected[blanksBefore(selected) + 27]), M::CurrentMonthText); // no dimming
    }

    void clicksSelectAndDeselect()
    {
        CalendarGridViewModel grid(*popover().settings, popover().clock);
        QCOMPARE(grid.title(), QStringLiteral("March 2026"));
        QSignalSpy activated(&grid, &CalendarGridViewModel::dayActivated);
        const int first = blanksBefore(grid.cells()->cells());

        grid.clickDay(first + 9); // 10 March
        QCOMPARE(grid.selectedDate(), QDate(2026, 3, 10));
        grid.clickDay(first + 9);
        QVERIFY(!grid.hasSelection()); // the same day again clears it
        grid.clickDay(0); // a blank
        QVERIFY(!grid.hasSelection());

        // A double click selects and asks for the form; on the selected day
        // it keeps the selection.
        grid.doubleClickDay(first + 11);
        QCOMPARE(grid.selectedDate(), QDate(2026, 3, 12));
        grid.doubleClickDay(first + 11);
        QCOMPARE(grid.selectedDate(), QDate(2026, 3, 12));
        QCOMPARE(activated.size(), 2);
        QCOMPARE(activated[0][0].toDate(), QDate(2026, 3, 12));
    }

    void monthsChangeAndTheSelectionStays()
    {
        CalendarGridViewModel grid(*popover().settings, popover().clock);
        grid.clickDay(blanksBefore(grid.cells()->cells()) + 19); // 20 March
        grid.showNextMonth();
        QCOMPARE(grid.title(), QStringLiteral("April 2026"));
        QCOMPARE(grid.selectedDate(), QDate(2026, 3, 20));
        QVERIFY(std::none_of(grid.cells()->cells().begin(), grid.cells()->cells().end(),
            [](const DayCell &c) { return c.isSelected; })); // shown only in its month
        grid.changeMonth(-1); // Page Up
        QVERIFY(std::any_of(grid.cells()->cells().begin(), grid.cells()->cells().end(),
            [](const DayCell &c) { return c.isSelected && c.date == QDate(2026, 3, 20); }));
    }

    void arrowKeysMoveTheSelectionAcrossMonths()
    {
        CalendarGridViewModel grid(*popover().settings, popover().clock);
        grid.moveSelection(1); // nothing selected: the first press selects today
        QCOMPARE(grid.selectedDate(), QDate(2026, 3, 25));
        grid.moveSelection(7);
        QCOMPARE(grid.selectedDate(), QDate(2026, 4, 1));
        QCOMPARE(grid.displayedMonth(), QDate(2026, 4, 1)); // the month follows
        grid.toggleSelection();
        QVERIFY(!grid.hasSelection());
        // Not today's month: keys start at the month's first day.
        grid.moveSelection(-1);
        QCOMPARE(grid.selectedDate(), QDate(2026, 4, 1));
        QSignalSpy activated(&grid, &CalendarGridViewModel::dayActivated);
        grid.activateSelection();
        QCOMPARE(activated.value(0).value(0).toDate(), QDate(2026, 4, 1));
    }

    void dimmingFollowsTheSettingLive()
    {
        CalendarGridViewModel grid(*popover().settings, popover().clock);
        QSignalSpy changed(grid.cells(), &QAbstractItemModel::dataChanged);
        QVERIFY(!grid.weekdays()[5].toMap()[QStringLiteral("dimmed")].toBool());
        popover().settings->setDimWeekends(true);
        QCOMPARE(changed.size(), 1);
        QVERIFY(grid.weekdays()[5].toMap()[QStringLiteral("dimmed")].toBool());
        QVERIFY(grid.weekdays()[6].toMap()[QStringLiteral("dimmed")].toBool());
        QVERIFY(!grid.weekdays()[4].toMap()[QStringLiteral("dimmed")].toBool());
        QVERIFY(grid.cells()->cells()[13].dimmed); // a Sunday column
    }

    // Which days an event marks: as the store's range queries count them.
    void eventDaysOfEvents_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<bool>("allDay");
        QTest::addColumn<QList<int>>("days"); // of March
        QTest::newRow("an hour") << at(10, 9) << at(10, 10) << false << QList<int> {10};
        QTest::newRow("until midnight: that day only") << at(10, 22) << at(11, 0) << false << QList<int> {10};
        QTest::newRow("across midnight") << at(10, 22) << at(11, 1) << false << QList<int> {10, 11};
        QTest::newRow("no duration at midnight") << at(12, 0) << at(12, 0) << false << QList<int> {12};
        QTest::newRow("all day, three days") << at(20, 0) << at(23, 0) << true << QList<int> {20, 21, 22};
        QTest::newRow("from February: from the 1st") << at(26, 0, 0, 2) << at(3, 0) << true << QList<int> {1, 2};
        QTest::newRow("into April: to the 31st") << at(30, 20) << at(2, 8, 0, 4) << false << QList<int> {30, 31};
        QTest::newRow("in April: none") << at(1, 8, 0, 4) << at(1, 9, 0, 4) << false << QList<int> {};
    }
    void eventDaysOfEvents()
    {
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(bool, allDay);
        QFETCH(QList<int>, days);
        CalendarEvent event;
        event.start = start;
        event.end = end;
        event.allDay = allDay;
        if (allDay) {
            event.startDate = start.date();
            event.endDate = end.date();
        }
        event.calendarId = QStringLiteral("a");
        event.calendarColor = QStringLiteral("#112233");
        const QHash<QDate, EventDay> marks
            = CalendarGridViewModel::eventDaysOf({event}, QDate(2026, 3, 1), QDate(2026, 4, 1), Berlin);
        QList<int> marked;
        for (auto it = marks.begin(); it != marks.end(); ++it) {
            marked.append(it.key().day());
            QCOMPARE(it.value().calendars, 1);
            QCOMPARE(it.value().color, QColor(0x11, 0x22, 0x33));
        }
        std::sort(marked.begin(), marked.end());
        QCOMPARE(marked, days);
    }

    // The grid marks the displayed month's days that have events of shown
    // calendars: the calendar's colour, the accent for several calendars,
    // white on today's circle; hidden calendars, new events and another
    // month are followed with the lists.
    void daysWithEventsAreMarked()
    {
        PopoverFixture &p = popover();
        p.addCalendar("personal", "Personal", "#34C759");
        p.addCalendar("work", "Work", "#FF9500");
        p.addEvent("personal", "gym", timed("Gym", at(10, 18), at(10, 19)));
        p.addEvent("work", "review", timed("Review", at(12, 9), at(12, 10)));
        p.addEvent("personal", "dinner", timed("Dinner", at(12, 19), at(12, 21)));
        p.addEvent("work", "today", timed("Standup", at(25, 9), at(25, 9, 15)));
        p.addEvent("personal", "fair", "SUMMARY:Fair\r\nDTSTART;VALUE=DATE:20260402\r\n");
        p.startStore();
        PopoverViewModel &root = p.makeViewModel();
        DayCellsModel *cells = root.grid()->cells();
        const int first = blanksBefore(cells->cells());
        auto dot = [&](int day) {
            return DayCellsModel::EventDot(
                cells->data(cells->index(first + day - 1), DayCellsModel::EventDotRole).toInt());
        };
        auto dotColor = [&](int day) {
            return cells->data(cells->index(first + day - 1), DayCellsModel::EventDotColorRole).value<QColor>();
        };
        QCOMPARE(dot(10), DayCellsModel::CalendarDot);
        QCOMPARE(dotColor(10), QColor(0x34, 0xC7, 0x59));
        QCOMPARE(dot(12), DayCellsModel::SeveralCalendarsDot);
        QCOMPARE(dot(25), DayCellsModel::OnTodayDot);
        QCOMPARE(dot(11), DayCellsModel::NoDot);
        QCOMPARE(cells->data(cells->index(first + 9), DayCellsModel::AccessibleNameRole).toString(),
            QStringLiteral("Tuesday 10 March 2026, with events"));
        QCOMPARE(cells->data(cells->index(first + 10), DayCellsModel::AccessibleNameRole).toString(),
            QStringLiteral("Wednesday 11 March 2026"));

        // Selected, a day keeps its circle and its dot.
        root.grid()->clickDay(first + 9);
        QCOMPARE(cells->data(cells->index(first + 9), DayCellsModel::BackgroundRole).toInt(),
            int(DayCellsModel::SelectedCircle));
        QCOMPARE(dot(10), DayCellsModel::CalendarDot);
        QCOMPARE(cells->data(cells->index(first + 24), DayCellsModel::BackgroundRole).toInt(),
            int(DayCellsModel::TodayCircle));

        // A hidden calendar's days lose their dot; the other's colour stays.
        p.settings->toggleCalendar(p.calendarId("work"));
        QCOMPARE(dot(12), DayCellsModel::CalendarDot);
        QCOMPARE(dotColor(12), QColor(0x34, 0xC7, 0x59));
        QCOMPARE(dot(25), DayCellsModel::NoDot);
        p.settings->toggleCalendar(p.calendarId("work"));
        QCOMPARE(dot(25), DayCellsModel::OnTodayDot);

        // A saved event marks its day when the lists are read again.
        QVERIFY(p.store->saveEvent(newEvent(p.calendarId("work"), "Later", at(28, 9), at(28, 10))).ok);
        QCOMPARE(dot(28), DayCellsModel::NoDot);
        root.eventManager().fetchEvents();
        QCOMPARE(dot(28), DayCellsModel::CalendarDot);
        QCOMPARE(dotColor(28), QColor(0xFF, 0x95, 0x00));

        // Another month: its own days.
        root.grid()->showNextMonth();
        const int aprilFirst = blanksBefore(cells->cells());
        QCOMPARE(cells->data(cells->index(aprilFirst + 1), DayCellsModel::EventDotRole).toInt(),
            int(DayCellsModel::CalendarDot));
        QCOMPARE(
            cells->data(cells->index(aprilFirst + 9), DayCellsModel::EventDotRole).toInt(), int(DayCellsModel::NoDot));
    }

    // ---- the events list

    void relativeLabelsAtTheirMoments_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("label");
        const QDateTime ten = at(25, 10), eleven = at(25, 11);
        QTest::newRow("half way") << ten << eleven << at(25, 10, 30) << "ends in 30m";
        QTest::newRow("30 s before") << ten << eleven << ten.addSecs(-30) << "in 0m";
        QTest::newRow("an hour before") << ten << eleven << at(25, 9) << "in 1h";
        QTest::newRow("59 min 59 s before") << ten << eleven << ten.addSecs(-3599) << "in 59m";
        QTest::newRow("a day before") << ten << eleven << at(24, 10) << "in 1d";
        QTest::newRow("at the start, an hour left") << ten << eleven << ten << "now";
        QTest::newRow("59 min left") << ten << eleven << ten.addSecs(60) << "ends in 59m";
        QTest::newRow("at the end") << ten << eleven << eleven << "ends in 0m";
        QTest::newRow("over, from its start") << at(25, 8) << at(25, 9) << at(25, 12) << "-4h";
        QTest::newRow("just over") << ten << at(25, 10, 20) << at(25, 10, 21) << "-21m";
        QTest::newRow("long and running") << at(25, 8) << at(25, 18) << ten << "now";
    }
    void relativeLabelsAtTheirMoments()
    {
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(QDateTime, now);
        QFETCH(QString, label);
        QCOMPARE(EventFormatting::relativeTimeLabel(start, end, now), label);
    }

    void sectionsTitlesCountsAndHeights()
    {
        PopoverFixture &p = popover();
        for (int i = 0; i < 6; ++i)
            p.addEvent("personal", QStringLiteral("e%1").arg(i), timed("Today", at(25, 12 + i), at(25, 12 + i, 30)));
        p.addEvent("personal", "tomorrow", timed("Tomorrow", at(26, 9), at(26, 10)));
        p.startStore();
        PopoverViewModel &root = p.makeViewModel();
        EventsListViewModel *list = root.eventsList();

        QCOMPARE(list->firstSectionTitle(), QStringLiteral("Today"));
        QCOMPARE(list->firstRows()->rowCount(), 6);
        QCOMPARE(list->firstListHeight(), EventsListViewModel::listHeightFor(5)); // six rows: five and scrolling
        QVERIFY(list->firstScrolls());
        QCOMPARE(list->upcomingListHeight(), EventsListViewModel::listHeightFor(1));
        QVERIFY(!list->upcomingScrolls());
        QVERIFY(list->showUpcoming());
        QCOMPARE(list->firstCountText(), QString());

        list->toggleFirstSection();
        QVERIFY(!p.settings->todayExpanded()); // persisted
        QCOMPARE(list->firstCountText(), QStringLiteral("(6)"));
        QVERIFY(!list->showNoEvents());

        // A selected day: its title and events, no upcoming section.
        root.grid()->clickDay(blanksBefore(root.grid()->cells()->cells()) + 25);
        QCOMPARE(list->firstSectionTitle(), QStringLiteral("Thursday, Mar 26"));
        QCOMPARE(titlesOf(list->firstRows()->events()), QStringList {"Tomorrow"});
        QVERIFY(!list->showUpcoming());
        QCOMPARE(list->firstCountText(), QStringLiteral("(1)"));
        list->toggleFirstSection();
        root.grid()->clickDay(blanksBefore(root.grid()->cells()->cells()) + 26); // the 27th: nothing
        QVERIFY(list->showNoEvents());
        QCOMPARE(list->firstCountText(), QString());
    }

    // A holiday of several days is one row: under Today while it covers
    // today (also with today selected in the grid), not again under Upcoming.
    void anEventOfSeveralDaysIsOneRow()
    {
        PopoverFixture &p = popover();
        p.addEvent("personal", "trip", "SUMMARY:Trip\r\nDTSTART;VALUE=DATE:20260325\r\nDTEND;VALUE=DATE:20260328\r\n");
        p.addEvent("personal", "fair", "SUMMARY:Fair\r\nDTSTART;VALUE=DATE:20260320\r\nDTEND;VALUE=DATE:20260330\r\n");
        p.addEvent("personal", "tomorrow", timed("Tomorrow", at(26, 9), at(26, 10)));
        p.startStore();
        PopoverViewModel &root = p.makeViewModel();
        EventsListViewModel *list = root.eventsList();
        QCOMPARE(titlesOf(list->firstRows()->events()), (QStringList {"Fair", "Trip"}));
        QCOMPARE(titlesOf(list->upcomingRows()->events()), QStringList {"Tomorrow"});

        root.grid()->clickDay(blanksBefore(root.grid()->cells()->cells()) + 24); // today, the 25th
        QCOMPARE(list->firstSectionTitle(), QStringLiteral("Wednesday, Mar 25"));
        QCOMPARE(titlesOf(list->firstRows()->events()), QStringList {"Trip"}); // the one that starts that day
    }

    // The rows each section shows: whole rows that fit the room, shared out
    // one by one, today's first.
    void shownRowsAreWholeAndShared_data()
    {
        QTest::addColumn<int>("firstRows");
        QTest::addColumn<int>("upcomingRows");
        QTest::addColumn<int>("rooms"); // rows that two lists hold
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("upcoming");
        QTest::newRow("plenty of room") << 3 << 2 << 20 << 3 << 2;
        QTest::newRow("five at most") << 9 << 7 << 20 << 5 << 5;
        QTest::newRow("four rows' room, both full") << 9 << 7 << 4 << 2 << 2;
        QTest::newRow("five rows' room: today's first") << 9 << 7 << 5 << 3 << 2;
        QTest::newRow("one short section leaves the rest") << 1 << 7 << 5 << 1 << 4;
        QTest::newRow("no upcoming section: all the room") << 9 << 0 << 3 << 4 << 0;
        QTest::newRow("no room: still one each") << 9 << 7 << 0 << 1 << 1;
    }
    void shownRowsAreWholeAndShared()
    {
        QFETCH(int, firstRows);
        QFETCH(int, upcomingRows);
        QFETCH(int, rooms);
        QFETCH(int, first);
        QFETCH(int, upcoming);
        // Room for `rooms` rows in two lists, and a pixel short of one more.
        const int room = EventsListViewModel::listHeightFor(rooms) + EventsListViewModel::listHeightFor(1) - 1;
        const EventsListViewModel::ShownRows shown = EventsListViewModel::shownRows(firstRows, upcomingRows, room);
        QCOMPARE(shown.first, first);
        QCOMPARE(shown.upcoming, upcoming);
        QVERIFY(shown.first + shown.upcoming <= 2
            || EventsListViewModel::listHeightFor(shown.first) + EventsListViewModel::listHeightFor(shown.upcoming)
                <= room);
    }

    void theRoomDecidesTheListsHeights()
    {
        PopoverFixture &p = popover();
        for (int i = 0; i < 6; ++i) {
            p.addEvent("personal", QStringLiteral("t%1").arg(i), timed("Today", at(25, 12 + i), at(25, 12 + i, 30)));
            p.addEvent("personal", QStringLiteral("u%1").arg(i), timed("Later", at(27, 9 + i), at(27, 9 + i, 30)));
        }
        p.startStore();
        EventsListViewModel *list = p.makeViewModel().eventsList();
        QSignalSpy changed(list, &EventsListViewModel::shownRowsChanged);
        list->setRowSpace(EventsListViewModel::listHeightFor(2) * 2);
        QCOMPARE(changed.size(), 1);
        list->setRowSpace(EventsListViewModel::listHeightFor(2) * 2 + 10); // not a row more
        QCOMPARE(changed.size(), 1);
        QCOMPARE(list->firstListHeight(), EventsListViewModel::listHeightFor(2));
        QCOMPARE(list->upcomingListHeight(), EventsListViewModel::listHeightFor(2));
        QVERIFY(list->firstScrolls() && list->upcomingScrolls());
        // Today's closed: the upcoming rows take its room.
        list->toggleFirstSection();
        QCOMPARE(list->firstListHeight(), 0);
        QVERIFY(!list->firstScrolls());
        QCOMPARE(list->upcomingListHeight(), EventsListViewModel::listHeightFor(4));
    }

    void noEventsAndNoUpcomingSection()
    {
        popover().startStore();
        EventsListViewModel *list = popover().makeViewModel().eventsList();
        QVERIFY(list->showNoEvents());
        QVERIFY(!list->showUpcoming());
        QCOMPARE(list->firstListHeight(), 0);
    }

    void theClockMovesTheLabelsOnly()
    {
        PopoverFixture &p = popover();
        p.addEvent("personal", "soon", timed("Soon", at(25, 10, 20), at(25, 10, 40)));
        p.startStore();
        EventsListViewModel *list = p.makeViewModel().eventsList();
        EventRowsModel *rows = list->firstRows();
        const QModelIndex row = rows->index(0);
        QCOMPARE(rows->data(row, EventRowsModel::RelativeTextRole).toString(), QStringLiteral("in 20m"));
        QSignalSpy reset(rows, &QAbstractItemModel::modelReset);
        QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
        p.clock.advanceSeconds(30 * 60);
        list->tick();
        QCOMPARE(rows->data(row, EventRowsModel::RelativeTextRole).toString(), QStringLiteral("ends in 10m"));
        QVERIFY(rows->data(row, EventRowsModel::IsHappeningRole).toBool());
        QCOMPARE(reset.size(), 0); // the rows stay; scroll position and focus with them
        QCOMPARE(changed.size(), 1);
    }

    void zohoEventsJoinTheLists()
    {
        PopoverFixture &p = popover();
        p.addEvent("personal", "local", timed("Local at noon", at(25, 12), at(25, 13)));
        p.startStore();
        p.connectZoho(QJsonArray {QJsonObject {{"uid", "work"}, {"calname", "Work"}, {"color", "#FF0000"}}},
            {{"work",
                QJsonArray {zohoEventJson("z1", "Zoho at noon", "20260325T110000Z", "20260325T113000Z"),
                    zohoEventJson("z2", "Zoho tomorrow", "20260326T080000Z", "20260326T090000Z")}}});
        EventsListViewModel *list = p.makeViewModel().eventsList();
        QCOMPARE(titlesOf(list->firstRows()->events()), (QStringList {"Local at noon", "Zoho at noon"}));
        QCOMPARE(titlesOf(list->upcomingRows()->events()), QStringList {"Zoho tomorrow"});
        QVERIFY(list->firstRows()->data(list->firstRows()->index(1), EventRowsModel::IsZohoRole).toBool());

        // Zoho's mark says whose the row is, and while the rows are the last
        // sync's kept from before, since when; local rows have no such note.
        const auto note = [list](int row) {
            return list->firstRows()->data(list->firstRows()->index(row), EventRowsModel::ZohoNoteRole).toString();
        };
        const auto spoken = [list](int row) {
            return list->firstRows()
                ->data(list->firstRows()->index(row), EventRowsModel::AccessibleNameRole)
                .toString();
        };
        QCOMPARE(note(0), QString());
        QCOMPARE(note(1), QStringLiteral("Zoho Calendar"));
        QVERIFY(spoken(1).endsWith(", Zoho Calendar"));
        QSignalSpy changed(list->firstRows(), &QAbstractItemModel::dataChanged);
        const QDateTime synced(QDate(2026, 3, 25), QTime(7, 45), QTimeZone::utc()); // 08:45 in Berlin
        p.viewModel->setZohoCachedSince(synced);
        QCOMPARE(changed.size(), 1);
        const QString expected = "Zoho Calendar, as of the last sync ("
            + QLocale().toString(synced.toTimeZone(p.clock.timeZone()), QLocale::ShortFormat) + ")";
        QCOMPARE(note(1), expected);
        QVERIFY(note(1).contains("08:45") || note(1).contains("8:45"));
        QVERIFY(spoken(1).endsWith(", " + expected));
        QCOMPARE(note(0), QString());
        QCOMPARE(list->upcomingRows()->data(list->upcomingRows()->index(0), EventRowsModel::ZohoNoteRole).toString(),
            expected);
        p.viewModel->setZohoCachedSince(synced); // the same: nothing to redraw
        QCOMPARE(changed.size(), 1);
        p.viewModel->setZohoCachedSince({}); // a sync replaced them
        QCOMPARE(note(1), QStringLiteral("Zoho Calendar"));
    }

    // "Open Calendar" with no calendar application to start says so in the
    // popover, until it works or the popover comes on screen again.
    void openCalendarSaysWhyNothingOpened()
    {
        PopoverFixture &p = popover();
        p.startStore();
        PopoverViewModel &root = p.makeViewModel();
        EventsListViewModel *list = root.eventsList();
        QCOMPARE(list->openCalendarMessage(), QString());

        p.launcher.calendarAppInstalled = false;
        p.launcher.calendarAppStarts = false;
        QSignalSpy changed(list, &EventsListViewModel::openCalendarMessageChanged);
        list->openCalendar();
        QCOMPARE(list->openCalendarMessage(), QStringLiteral("No calendar application is installed"));
        QCOMPARE(changed.size(), 1);
        root.appeared();
        QCOMPARE(list->openCalendarMessage(), QString());

        p.launcher.calendarAppInstalled = true; // found, but it would not start
        list->openCalendar();
        QCOMPARE(list->openCalendarMessage(), QStringLiteral("The calendar application did not start"));
        p.launcher.calendarAppStarts = true;
        list->openCalendar();
        QCOMPARE(list->openCalendarMessage(), QString());
        QCOMPARE(p.launcher.calendarDays.size(), 3);
    }

    // ---- the detail

    void detailRowsByKindOfEvent()
    {
        PopoverFixture &p = popover();
        p.addCalendar("work", "Work", "#FF9500");
        p.addEvent("work", "notes",
            timed("With notes", at(25, 12), at(25, 13))
                + "DESCRIPTION:Bring the slides\r\nURL:https://example.com/room/4\r\n");
        p.addEvent("work", "empty", timed("Empty notes", at(25, 14), at(25, 15)) + "DESCRIPTION:\r\nURL:room-4\r\n");
        p.addEvent("personal", "allday", "SUMMARY:Holiday\r\nDTSTART;VALUE=DATE:20260325\r\n");
        p.addReadOnlyEvent("holidays.ics", "ro", timed("Subscribed", at(25, 16), at(25, 17)));
        p.startStore();
        PopoverViewModel &root = p.makeViewModel();
        const QList<AnyCalendarEvent> today = root.eventsList()->firstRows()->events();

        EventDetailViewModel withNotes(eventTitled(today, "With notes"), *p.store, p.clock, p.launcher);
        QCOMPARE(rowKinds(withNotes), (QStringList {"date", "time", "status", "calendar", "notes", "link"}));
        QCOMPARE(rowLabel(withNotes, "date"), QStringLiteral("Wednesday, March 25, 2026"));
        QCOMPARE(rowLabel(withNotes, "time"), QStringLiteral("12:00\u201313:00"));
        QCOMPARE(rowLabel(withNotes, "status"), QStringLiteral("in 2h"));
        QCOMPARE(rowLabel(withNotes, "calendar"), QStringLiteral("Work"));
        QCOMPARE(rowLabel(withNotes, "link"), QStringLiteral("example.com"));
        QVERIFY(withNotes.canDelete() && withNotes.showsOpenInCalendar());
        QCOMPARE(withNotes.deleteConfirmTitle(), QStringLiteral("Delete \"With notes\"?"));
        withNotes.openLink();
        withNotes.openInCalendar();
        QCOMPARE(p.launcher.urls, QList<QUrl> {QUrl("https://example.com/room/4")});
        QCOMPARE(p.launcher.calendarDays, QList<QDate> {QDate(2026, 3, 25)});

        EventDetailViewModel emptyNotes(eventTitled(today, "Empty notes"), *p.store, p.clock, p.launcher);
        QVERIFY(!rowKinds(emptyNotes).contains("notes"));
        QCOMPARE(rowLabel(emptyNotes, "link"), QStringLiteral("room-4")); // no host: the whole link

        EventDetailViewModel allDay(eventTitled(today, "Holiday"), *p.store, p.clock, p.launcher);
        QCOMPARE(rowKinds(allDay), (QStringList {"date", "status", "calendar"}));
        const EventDetailViewModel::Row status = allDay.rowList()[1];
        QCOMPARE(status.label, QStringLiteral("Happening now"));
        QVERIFY(status.accent);
        QCOMPARE(status.icon, QStringLiteral("circle.fill"));

        EventDetailViewModel readOnly(eventTitled(today, "Subscribed"), *p.store, p.clock, p.launcher);
        QVERIFY(!readOnly.canDelete());
        readOnly.requestDelete();
        QVERIFY(!readOnly.showDeleteConfirm());

        CalendarEvent zoho;
        zoho.id = QStringLiteral("zoho_z");
        zoho.title = QStringLiteral("From Zoho");
        zoho.start = at(25, 18);
        zoho.end = at(25, 19);
        zoho.calendarId = QStringLiteral("zoho:cal");
        zoho.calendarTitle = QStringLiteral("Cal");
        zoho.providerId = ZohoProviderId;
        EventDetailViewModel fromZoho(AnyCalendarEvent::fromStore(zoho), *p.store, p.clock, p.launcher);
        QVERIFY(!fromZoho.canDelete());
        QVERIFY(!fromZoho.showsOpenInCalendar());
        QCOMPARE(rowLabel(fromZoho, "calendar"), QStringLiteral("Zoho Calendar"));
        QVERIFY(fromZoho.isZoho());
    }

    // An invitation's meeting link gets a "Join meeting" row above the
    // event's own link; joining opens the meeting, not the event's page.
    void detailOffersToJoinAMeeting()
    {
        PopoverFixture &p = popover();
        p.addCalendar("work", "Work", "#FF9500");
        p.addEvent("work", "call",
            timed("Call", at(25, 12), at(25, 13))
                + "URL:https://example.com/agenda\r\nLOCATION:Room 4\r\n"
                  "DESCRIPTION:Agenda: https://docs.example.com/a\\nJoin: https://us02web.zoom.us/j/850?pwd=x1\r\n");
        p.addEvent("work", "lunch", timed("Lunch", at(25, 14), at(25, 15)) + "LOCATION:https://example.com/menu\r\n");
        p.addEvent(
            "work", "plain", timed("Plain", at(25, 16), at(25, 17)) + "DESCRIPTION:See https://example.com/\r\n");
        p.startStore();
        PopoverViewModel &root = p.makeViewModel();
        const QList<AnyCalendarEvent> today = root.eventsList()->firstRows()->events();

        EventDetailViewModel call(eventTitled(today, "Call"), *p.store, p.clock, p.launcher);
        QCOMPARE(rowKinds(call), (QStringList {"date", "time", "status", "calendar", "notes", "meeting", "link"}));
        QCOMPARE(rowLabel(call, "meeting"), QStringLiteral("Join meeting"));
        call.joinMeeting();
        QCOMPARE(p.launcher.urls, QList<QUrl> {QUrl("https://us02web.zoom.us/j/850?pwd=x1")});

        // A location that is a link is where the meeting is.
        EventDetailViewModel lunch(eventTitled(today, "Lunch"), *p.store, p.clock, p.launcher);
        QCOMPARE(lunch.meetingLink(), QUrl("https://example.com/menu"));

        EventDetailViewModel plain(eventTitled(today, "Plain"), *p.store, p.clock, p.launcher);
        QVERIFY(!rowKinds(plain).contains("meeting"));
        plain.joinMeeting();
        QCOMPARE(p.launcher.urls.size(), 1);
    }

    void deletingRemovesThisOccurrenceOnly()
    {
        PopoverFixture &p = popover();
        p.addEvent("personal", "daily", timed("Daily", at(25, 12), at(25, 12, 15)) + "RRULE:FREQ=DAILY;COUNT=5\r\n");
        p.startStore();
        PopoverViewModel &root = p.makeViewModel();
        QSignalSpy reloaded(&root.eventManager(), &CalendarEventManager::todayEventsChanged);
        root.openDetail(root.eventsList()->firstRows()->events().first());
        EventDetailViewModel *detail = root.detail();
        detail->requestDelete();
        QVERIFY(detail->showDeleteConfirm());
        root.escapePressed(); // Escape answers the question first
        QVERIFY(!detail->showDeleteConfirm());
        QVERIFY(root.sheetShown());
        detail->requestDelete();
        detail->confirmDelete();
        detail->confirmDelete(); // a second press must not take the next one
        QVERIFY(!root.sheetShown());
        QCOMPARE(reloaded.size(), 1);
        QVERIFY(root.eventsList()->firstRows()->events().isEmpty());
        QCOMPARE(root.eventsList()->upcomingRows()->rowCount(), 4); // 26th to 29th stay
    }

    // A delete the disk refuses: the sheet stays open with the reason, the
    // event stays listed, and a second try after the cause is gone works.
    void failedDeleteIsShownAndTheSheetStays()
    {
        PopoverFixture &p = popover();
        p.addEvent("personal", "daily", timed("Daily", at(25, 12), at(25, 12, 15)) + "RRULE:FREQ=DAILY;COUNT=5\r\n");
        p.startStore();
        PopoverViewModel &root = p.makeViewModel();
        root.openDetail(root.eventsList()->firstRows()->events().first());
        EventDetailViewModel *detail = root.detail();
        QSignalSpy deleted(detail, &EventDetailViewModel::deleted);
        QSignalSpy errorChanged(detail, &EventDetailViewModel::deleteErrorChanged);
        SafeFile::setWriteFault(
            [](SafeFile::WriteStep step) { return step == SafeFile::WriteStep::Write ? ENOSPC : 0; });
        detail->requestDelete();
        detail->confirmDelete();
        SafeFile::setWriteFault({});
        QVERIFY(deleted.isEmpty());
        QVERIFY(root.sheetShown());
        QCOMPARE(root.detail(), detail);
        QVERIFY2(detail->deleteError().contains("No space left on device"), qPrintable(detail->deleteError()));
        QCOMPARE(errorChanged.size(), 1);
        QCOMPARE(root.eventsList()->firstRows()->events().size(), 1);

        detail->requestDelete();
        detail->confirmDelete();
        QCOMPARE(deleted.size(), 1);
        QVERIFY(!root.sheetShown());
        QVERIFY(root.eventsList()->firstRows()->events().isEmpty());
    }

    // ---- the form

    // The date fields hold only days an event can be saved on.
    void formDatesStayWithinWhatFilesHold()
    {
        popover().startStore();
        NewEventViewModel form(at(25, 14, 37), *popover().store, popover().clock);
        for (const int digit : {3, 0, 0, 1})
            form.start()->typeDigit(DateTimeEdit::Year, digit);
        QCOMPARE(form.start()->value().date(), QDate(2999, 12, 31));
        form.start()->step(DateTimeEdit::Year, -1);
        QCOMPARE(form.start()->value().date(), QDate(2998, 12, 31));
        form.start()->step(DateTimeEdit::Month, 13);
        QCOMPARE(form.start()->value().date(), QDate(2999, 12, 31));
        form.start()->step(DateTimeEdit::Day, 1);
        QCOMPARE(form.start()->value().date(), QDate(2999, 12, 31));
        for (const int digit : {0, 0, 0, 1})
            form.start()->typeDigit(DateTimeEdit::Year, digit);
        QCOMPARE(form.start()->value().date(), QDate(1900, 1, 1));
    }

    void formDefaultsFromTheInitialDate()
    {
        popover().startStore();
        NewEventViewModel atTwentyTo(at(25, 14, 37).addSecs(12), *popover().store, popover().clock);
        QCOMPARE(atTwentyTo.start()->value(), at(25, 15));
        QCOMPARE(atTwentyTo.end()->value(), at(25, 16));
        NewEventViewModel gridDay(QDate(2026, 3, 30).startOfDay(Berlin), *popover().store, popover().clock);
        QCOMPARE(gridDay.start()->value(), at(30, 1));
        QCOMPARE(gridDay.end()->value(), at(30, 2));
    }

    // Today's date chosen in the grid proposes the next full hour once 01:00
    // has passed, as "+" does; other days, even past ones, 01:00.
    void formDefaultsForTodaysDate_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QDateTime>("start");
        QTest::newRow("today at 10:00") << Now << QDate(2026, 3, 25) << at(25, 11);
        QTest::newRow("today at 10:59:59") << at(25, 10, 59).addSecs(59) << QDate(2026, 3, 25) << at(25, 11);
        QTest::newRow("today at 00:30: 01:00 is still ahead") << at(25, 0, 30) << QDate(2026, 3, 25) << at(25, 1);
        QTest::newRow("today at 23:20: the next hour is tomorrow's")
            << at(25, 23, 20) << QDate(2026, 3, 25) << at(26, 0);
        QTest::newRow("yesterday") << Now << QDate(2026, 3, 24) << at(24, 1);
        QTest::newRow("tomorrow") << Now << QDate(2026, 3, 26) << at(26, 1);
        // 02:00 does not exist in Berlin that night: an hour after 01:00 is 03:00.
        QTest::newRow("today, the clocks go forward")
            << QDateTime(QDate(2026, 3, 29), QTime(1, 30), Berlin) << QDate(2026, 3, 29) << at(29, 3);
    }
    void formDefaultsForTodaysDate()
    {
        QFETCH(QDateTime, now);
        QFETCH(QDate, day);
        QFETCH(QDateTime, start);
        popover().clock.setNow(now);
        popover().startStore();
        NewEventViewModel form(day.startOfDay(Berlin), *popover().store, popover().clock);
        QCOMPARE(form.start()->value(), start);
        QCOMPARE(form.end()->value(), start.addSecs(3600));
    }

    void theEndFollowsTheStart()
    {
        popover().startStore();
        NewEventViewModel form(at(25, 14, 37), *popover().store, popover().clock);
        form.start()->step(DateTimeEdit::Hour, 1); // 16:00, as late as the end
        QCOMPARE(form.end()->value(), at(25, 17));
        form.start()->step(DateTimeEdit::Hour, -3); // earlier: the end stays
        QCOMPARE(form.end()->value(), at(25, 17));
        form.end()->step(DateTimeEdit::Day, -1); // never before the start
        QCOMPARE(form.end()->value(), form.start()->value());
        // Typing: "2", "3" sets 23 h and moves on to the minutes.
        QCOMPARE(form.start()->typeDigit(DateTimeEdit::Hour, 2), int(DateTimeEdit::Hour));
        QCOMPARE(form.start()->typeDigit(DateTimeEdit::Hour, 3), int(DateTimeEdit::Minute));
        QCOMPARE(form.start()->value(), at(25, 23));
        QCOMPARE(form.end()->value(), at(26, 0));
        // A day past the month's end becomes its last day.
        form.start()->typeDigit(DateTimeEdit::Month, 2);
        QCOMPARE(form.start()->value().date(), QDate(2026, 2, 25));
        form.start()->typeDigit(DateTimeEdit::Day, 3);
        form.start()->typeDigit(DateTimeEdit::Day, 1);
        QCOMPARE(form.start()->value().date(), QDate(2026, 2, 28));
    }

    void targetsDefaultsAndColours()
    {
        PopoverFixture &p = popover();
        p.addCalendar("personal", "Personal", QString());
        p.addCalendar("z", "zeta", "#112233");
        p.addCalendar("a", "Alpha", "#AABBCC");
        p.addReadOnlyEvent("subscribed.ics", "s", timed("S", at(25, 9), at(25, 10)));
        p.startStore();
        p.connectZoho(QJsonArray {QJsonObject {{"uid", "zc"}, {"calname", "Zoho work"}, {"color", "#ABC"}}}, {});
        NewEventViewModel form(Now, *p.store, p.clock);
        const QStringList names = form.targets()->names();
        // Plain string order (upper case first), read-only left out, Zoho last.
        QCOMPARE(names, (QStringList {"Alpha", "Personal", "zeta", "Zoho work"}));
        QCOMPARE(form.targetName(), QStringLiteral("Alpha")); // before it appears: the first
        form.appeared();
        QCOMPARE(form.targetName(), QStringLiteral("Personal")); // the store's default
        QCOMPARE(form.targetColor(), FixedColors::blue()); // a calendar without a colour
        form.selectTarget(3);
        QCOMPARE(form.targetColor(), FixedColors::orange()); // "#ABC" is no colour
        form.selectTarget(0);
        QCOMPARE(form.targetColor(), QColor(0xAA, 0xBB, 0xCC));
        QCOMPARE(TargetsModel::colorOf(std::nullopt), FixedColors::blue());
    }

    // Two calendars of one name, in two accounts (brivane's own "Personal"
    // and the desktop's), and a Zoho calendar of that name too: each is
    // listed with its account, and a name no other shares stays plain.
    void calendarsOfOneNameCarryTheirAccount()
    {
        PopoverFixture &p = popover();
        p.addCalendar("personal", "Personal", QString());
        writeFile(p.root + "/local/displayname", "Local"); // as brivane makes it
        writeFile(p.root + "/computer/displayname", "On This Computer");
        writeFile(p.root + "/computer/personal/displayname", "Personal");
        writeFile(p.root + "/computer/birthdays/displayname", "Birthdays");
        p.startStore();
        p.connectZoho(QJsonArray {QJsonObject {{"uid", "zp"}, {"calname", "Personal"}},
                          QJsonObject {{"uid", "zw"}, {"calname", "Work"}}},
            {});
        NewEventViewModel form(Now, *p.store, p.clock);
        const QAbstractItemModel &menu = *form.targets();
        auto listed = [&menu](int role) {
            QStringList names;
            for (int row = 0; row < menu.rowCount(); ++row)
                names.append(menu.data(menu.index(row, 0), role).toString());
            return names;
        };
        QCOMPARE(listed(TargetsModel::NameRole),
            (QStringList {"Birthdays", "Personal \u2014 On This Computer", "Personal \u2014 Local",
                "Personal \u2014 Zoho Calendar", "Work"}));
        // A screen reader hears the account once.
        QCOMPARE(listed(TargetsModel::AccessibleNameRole),
            (QStringList {"Birthdays", "Personal \u2014 On This Computer", "Personal \u2014 Local",
                "Personal \u2014 Zoho Calendar", "Work, Zoho Calendar"}));
        form.appeared();
        QCOMPARE(form.targetName(), QString("Personal \u2014 Local")); // the store's default
        form.selectTarget(1);
        QCOMPARE(form.targetName(), QString("Personal \u2014 On This Computer"));

        // One renamed: its name is plain again, the others still shared.
        writeFile(p.root + "/computer/personal/displayname", "Home");
        QTRY_COMPARE(listed(TargetsModel::NameRole),
            (QStringList {"Birthdays", "Home", "Personal \u2014 Local", "Personal \u2014 Zoho Calendar", "Work"}));
        QCOMPARE(form.targetName(), QString("Home"));
    }

    void savingFailures()
    {
        PopoverFixture &p = popover();
        p.startStore();
        // Nothing to write to: no writable calendar, no Zoho.
        QDir(p.root + "/local/personal").removeRecursively();
        p.provider->deleteLater();
        p.store = std::make_unique<CalendarStore>();
        NewEventViewModel nowhere(Now, *p.store, p.clock);
        nowhere.appeared();
        nowhere.setTitle(QStringLiteral("Nowhere"));
        nowhere.save();
        QCOMPARE(nowhere.saveError(), QStringLiteral("No calendar selected"));
        QVERIFY(!nowhere.isSaving());

        // A title of spaces cannot be saved at all.
        nowhere.setTitle(QStringLiteral("   "));
        QVERIFY(!nowhere.canSave());
    }

    void zohoErrorsAreShownAsZohoGivesThem()
    {
        PopoverFixture &p = popover();
        p.startStore();
        p.connectZoho(QJsonArray {QJsonObject {{"uid", "zc"}, {"calname", "Zoho"}}}, {});
        p.server->setCreateFailure(FakeZohoServer::Failure::Status401);
        NewEventViewModel form(Now, *p.store, p.clock);
        form.setTitle(QStringLiteral("Refused"));
        form.selectTarget(int(form.targets()->targets().size()) - 1);
        form.save();
        QTRY_VERIFY(!form.saveError().isEmpty());
        QCOMPARE(form.saveError(), QStringLiteral("API error: HTTP 401: {\"error\":\"INVALID_OAUTHTOKEN\"}"));
        QVERIFY(!form.isSaving());

        p.auth->disconnect();
        form.save();
        QTRY_COMPARE(form.saveError(), QStringLiteral("Not authenticated with Zoho"));
    }

    void aSecondSaveWhileOneRunsWritesNothing()
    {
        PopoverFixture &p = popover();
        p.startStore();
        p.connectZoho(QJsonArray {QJsonObject {{"uid", "zc"}, {"calname", "Zoho"}}}, {});

        NewEventViewModel local(Now, *p.store, p.clock);
        local.appeared();
        local.setTitle(QStringLiteral("  Once  "));
        QSignalSpy localSaved(&local, &NewEventViewModel::saved);
        local.save();
        local.save(); // Return again before the sheet closed
        QVERIFY(localSaved.wait(2000));
        QCOMPARE(p.icsFiles("personal").size(), 1);
        QCOMPARE(titlesOf(p.store->events(at(25, 0), at(26, 0))), QStringList {"Once"}); // trimmed

        NewEventViewModel zoho(Now, *p.store, p.clock);
        zoho.setTitle(QStringLiteral("Once in Zoho"));
        zoho.selectTarget(int(zoho.targets()->targets().size()) - 1);
        QSignalSpy zohoSaved(&zoho, &NewEventViewModel::saved);
        zoho.save();
        QVERIFY(zoho.isSaving());
        zoho.save();
        zoho.save();
        QVERIFY(zohoSaved.wait(10000));
        int posts = 0;
        for (const FakeZohoServer::RecordedRequest &request : p.server->requests())
            posts += request.method == "POST" && request.path.endsWith("/events");
        QCOMPARE(posts, 1);
        QCOMPARE(p.server->events("zc").size(), 1);
    }

    // ---- the root

    void sheetsAndReloads()
    {
        PopoverFixture &p = popover();
        p.addEvent("personal", "e", timed("Event", at(25, 12), at(25, 13)));
        p.startStore();
        PopoverViewModel &root = p.makeViewModel();
        QSignalSpy reloaded(&root.eventManager(), &CalendarEventManager::todayEventsChanged);

        // "New Event" without a selected day: now; with one: its midnight.
        root.eventsList()->requestNewEvent();
        QCOMPARE(root.activeSheet()->kind, ActiveSheet::Kind::NewEvent);
        QCOMPARE(root.activeSheet()->date, Now);
        root.eventsList()->requestNewEvent(); // no sheet over a sheet
        QCOMPARE(root.form()->initialDate(), Now);
        root.form()->cancel();
        QVERIFY(!root.sheetShown());
        QCOMPARE(root.sheetKind(), PopoverViewModel::NewEventSheet); // kept while it leaves
        root.grid()->clickDay(blanksBefore(root.grid()->cells()->cells()) + 27); // the 28th
        root.eventsList()->requestNewEvent();
        QCOMPARE(root.activeSheet()->date, QDateTime(QDate(2026, 3, 28), QTime(0, 0), Berlin));
        root.escapePressed();
        QVERIFY(!root.sheetShown());
        QCOMPARE(reloaded.size(), 0); // cancelling reloads nothing

        root.grid()->clickDay(blanksBefore(root.grid()->cells()->cells()) + 27); // back to today
        root.eventsList()->selectFirstRow(0);
        QCOMPARE(root.sheetKind(), PopoverViewModel::EventDetailSheet);
        root.detail()->close();
        QVERIFY(!root.sheetShown());
        QCOMPARE(reloaded.size(), 0);

        root.eventsList()->requestNewEvent();
        root.form()->appeared();
        root.form()->setTitle(QStringLiteral("Saved"));
        root.form()->save();
        QTRY_VERIFY(!root.sheetShown());
        QCOMPARE(reloaded.size(), 1); // saving reloads

        QSignalSpy closeRequested(&root, &PopoverViewModel::closeRequested);
        root.escapePressed(); // no sheet: the popover closes
        QCOMPARE(closeRequested.size(), 1);
        QSignalSpy quit(&root, &PopoverViewModel::quitRequested);
        root.eventsList()->quit();
        QCOMPARE(quit.size(), 1);
        root.eventsList()->openCalendar();
        QCOMPARE(p.launcher.calendarDays, QList<QDate> {QDate()});
    }
};

BRIVANE_TEST_MAIN(PopoverModelsTest)
#include "tst_popovermodels.moc"
