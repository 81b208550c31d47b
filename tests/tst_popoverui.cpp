// SPDX-License-Identifier: GPL-3.0-or-later
// The popover's QML driven as a user drives it, with mouse and keys on the
// window (offscreen, software renderer), and read as a screen reader reads it.
#define BRIVANE_TEST_APPLICATION QApplication
#include "PopoverTestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Brivane_ResourcesPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_PopoverPlugin)

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
// Wednesday 25 March 2026, 10:00 in Berlin.
const QDateTime Now(QDate(2026, 3, 25), QTime(10, 0), Berlin);

void collectNames(QAccessibleInterface *node, QStringList &names, int depth = 0)
{
    if (!node || depth > 40)
        return;
    if (!node->state().invisible && !node->text(QAccessible::Name).isEmpty())
        names.append(node->text(QAccessible::Name));
    for (int i = 0; i < node->childCount(); ++i)
        collectNames(node->child(i), names, depth + 1);
}
} // namespace

class PopoverUiTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PopoverFixture> m_popover;

    QQuickView &window() { return *m_popover->view; }
    QQuickItem *item(const QString &name)
    {
        QQuickItem *found = m_popover->item(name);
        if (!found)
            qWarning("no item named \"%s\"", qPrintable(name));
        return found;
    }
    void click(const QString &name)
    {
        QQuickItem *target = item(name);
        QVERIFY(target);
        QTest::mouseClick(&window(), Qt::LeftButton, {}, centreOf(target));
    }
    bool sheetSettled(bool shown) { return m_popover->sheetSettled(shown); }
    QStringList firstTitles() const { return titlesOf(m_popover->viewModel->eventsList()->firstRows()->events()); }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init()
    {
        m_popover = std::make_unique<PopoverFixture>(Now, Berlin);
        PopoverFixture &p = *m_popover;
        p.addCalendar("personal", "Personal", "#34C759");
        p.addEvent("personal", "daily",
            "SUMMARY:Daily\r\nDTSTART;TZID=Europe/Berlin:20260325T120000\r\n"
            "DTEND;TZID=Europe/Berlin:20260325T121500\r\nRRULE:FREQ=DAILY;COUNT=4\r\n");
        p.startStore();
        p.showView();
    }
    void cleanup() { m_popover.reset(); }

    // A fast typist: Return on the month and the title at once, while the
    // form still slides in. No key is lost to the month behind it.
    void typingStraightAfterReturnLandsInTheTitle()
    {
        item("grid")->forceActiveFocus();
        QCOMPARE(window().activeFocusItem(), item("grid"));
        QTest::keyClick(&window(), Qt::Key_Return);
        PopoverViewModel &root = *m_popover->viewModel;
        QVERIFY(root.sheetShown());
        for (const QChar character : QStringLiteral("Tea"))
            QTest::keyClick(&window(), character.toLatin1());
        QCOMPARE(root.form()->title(), QStringLiteral("Tea"));
        QVERIFY(sheetSettled(true));
        QCOMPARE(root.form()->title(), QStringLiteral("Tea"));
    }

    void doubleClickTypeAndReturnSavesOnce()
    {
        QTest::mouseDClick(&window(), Qt::LeftButton, {}, centreOf(item("day 27")));
        QVERIFY(sheetSettled(true));
        PopoverViewModel &root = *m_popover->viewModel;
        QCOMPARE(root.activeSheet()->date, QDateTime(QDate(2026, 3, 27), QTime(0, 0), Berlin));
        QCOMPARE(root.grid()->selectedDate(), QDate(2026, 3, 27));
        QCOMPARE(root.form()->start()->value(), QDateTime(QDate(2026, 3, 27), QTime(1, 0), Berlin));

        // The title takes the keyboard by itself, a moment after the sheet opened.
        QTRY_COMPARE(window().activeFocusItem(), item("titleField"));
        for (const QChar character : QStringLiteral("Coffee with Ana"))
            QTest::keyClick(&window(), character.toLatin1());
        QCOMPARE(root.form()->title(), QStringLiteral("Coffee with Ana"));
        QTest::keyClick(&window(), Qt::Key_Return);
        QTest::keyClick(&window(), Qt::Key_Return); // impatient: still one event
        QVERIFY(sheetSettled(false));
        QTRY_COMPARE(firstTitles(), (QStringList {"Coffee with Ana", "Daily"})); // the selected day's list
        QTRY_COMPARE(window().activeFocusItem(), item("grid"));
        QVERIFY(!root.sheetShown());
        QCOMPARE(m_popover->icsFiles("personal").size(), 2);
        const QList<CalendarEvent> saved = m_popover->store->events(
            QDateTime(QDate(2026, 3, 27), QTime(0, 0), Berlin), QDateTime(QDate(2026, 3, 28), QTime(0, 0), Berlin));
        QCOMPARE(saved.size(), 2); // the new one and the series' occurrence at noon
        QCOMPARE(saved[0].title, QStringLiteral("Coffee with Ana"));
        QCOMPARE(saved[0].end, QDateTime(QDate(2026, 3, 27), QTime(2, 0), Berlin));

        // On the selected day a double click keeps the selection all along,
        // and a single click clears it (once no second click can follow).
        QSignalSpy selection(root.grid(), &CalendarGridViewModel::selectedDateChanged);
        QTest::mouseDClick(&window(), Qt::LeftButton, {}, centreOf(item("day 27")));
        QVERIFY(sheetSettled(true));
        QCOMPARE(selection.size(), 0);
        QTest::keyClick(&window(), Qt::Key_Escape);
        QVERIFY(sheetSettled(false));
        QTest::mouseClick(&window(), Qt::LeftButton, {}, centreOf(item("day 27")));
        QTRY_VERIFY(!root.grid()->hasSelection());
    }

    void deletingAnOccurrenceRemovesOnlyIt()
    {
        QCOMPARE(firstTitles(), QStringList {"Daily"});
        click("event Daily");
        QVERIFY(sheetSettled(true));
        click("deleteEvent");
        QTRY_VERIFY(item("deleteConfirmation")->isVisible());
        click("confirmDelete");
        QVERIFY(sheetSettled(false));
        QTRY_VERIFY(firstTitles().isEmpty());
        QCOMPARE(m_popover->viewModel->eventsList()->upcomingRows()->rowCount(), 3);
        const QByteArray file = readFile(m_popover->root + "/local/personal/daily.ics");
        QVERIFY(file.contains("RRULE:FREQ=DAILY;COUNT=4"));
        QVERIFY(file.contains("EXDATE"));
    }

    // "Join" on a row whose meeting starts within a quarter of an hour opens
    // the meeting, not the event's detail; a row further off has none.
    void joinOnARowOpensItsMeeting()
    {
        m_popover = std::make_unique<PopoverFixture>(Now, Berlin);
        PopoverFixture &p = *m_popover;
        p.addCalendar("personal", "Personal", "#34C759");
        p.addEvent("personal", "standup",
            "SUMMARY:Standup\r\nDTSTART;TZID=Europe/Berlin:20260325T100500\r\n"
            "DTEND;TZID=Europe/Berlin:20260325T103000\r\nLOCATION:https://zoom.us/j/555\r\n");
        p.addEvent("personal", "review",
            "SUMMARY:Review\r\nDTSTART;TZID=Europe/Berlin:20260325T120000\r\n"
            "DTEND;TZID=Europe/Berlin:20260325T130000\r\nLOCATION:https://zoom.us/j/666\r\n");
        p.startStore();
        p.showView();
        QCOMPARE(firstTitles(), (QStringList {"Standup", "Review"}));
        EventRowsModel *rows = p.viewModel->eventsList()->firstRows();
        QVERIFY(rows->data(rows->index(0), EventRowsModel::CanJoinRole).toBool());
        QVERIFY(!rows->data(rows->index(1), EventRowsModel::CanJoinRole).toBool());

        QTRY_VERIFY(item("join") && item("join")->isVisible());
        click("join");
        QCOMPARE(p.launcher.urls, QList<QUrl> {QUrl("https://zoom.us/j/555")});
        QVERIFY(!p.viewModel->sheetShown());

        // Once it is over, the row offers nothing to join.
        rows->setNow(QDateTime(QDate(2026, 3, 25), QTime(10, 30), Berlin));
        QVERIFY(!rows->data(rows->index(0), EventRowsModel::CanJoinRole).toBool());
        // …and the one at noon opens its own from a quarter to twelve.
        rows->setNow(QDateTime(QDate(2026, 3, 25), QTime(11, 45), Berlin));
        QVERIFY(rows->data(rows->index(1), EventRowsModel::CanJoinRole).toBool());
        p.viewModel->eventsList()->joinFirstRow(1);
        QCOMPARE(p.launcher.urls.last(), QUrl("https://zoom.us/j/666"));
    }

    // The week numbers take a narrow column at the left; the days keep
    // their order and move right.
    void weekNumbersMakeRoomAtTheLeft()
    {
        QQuickItem *firstDay = item("day 1");
        QVERIFY(firstDay);
        const qreal before = firstDay->mapToScene({0, 0}).x();
        QVERIFY(!item("weekNumbers")->isVisible());
        m_popover->settings->setShowWeekNumbers(true);
        QTRY_VERIFY(item("weekNumbers")->isVisible());
        QTRY_VERIFY(firstDay->mapToScene({0, 0}).x() > before);
        QQuickItem *lastDay = item("day 31");
        QVERIFY(lastDay->mapToScene({lastDay->width(), 0}).x() <= window().width());
        m_popover->settings->setShowWeekNumbers(false);
    }

    void escapeClosesTheSheetThenThePopover()
    {
        PopoverViewModel &root = *m_popover->viewModel;
        QSignalSpy closeRequested(&root, &PopoverViewModel::closeRequested);
        click("newEvent");
        QVERIFY(sheetSettled(true));
        QCOMPARE(root.activeSheet()->date, Now); // nothing selected: now
        QTest::keyClick(&window(), Qt::Key_Escape);
        QVERIFY(sheetSettled(false));
        QCOMPARE(closeRequested.size(), 0);
        QTest::keyClick(&window(), Qt::Key_Escape);
        QCOMPARE(closeRequested.size(), 1);

        // The dimming layer swallows clicks and closes nothing.
        click("event Daily");
        QVERIFY(sheetSettled(true));
        QTest::mouseClick(&window(), Qt::LeftButton, {}, QPoint(160, 40));
        QVERIFY(root.sheetShown());
        QTest::keyClick(&window(), Qt::Key_Escape);
        QVERIFY(sheetSettled(false));
    }

    void theKeyboardReachesEverything()
    {
        PopoverViewModel &root = *m_popover->viewModel;
        // The grid has the keyboard first: arrows, Page Down, Return.
        QCOMPARE(window().activeFocusItem(), item("grid"));
        QTest::keyClick(&window(), Qt::Key_Right); // selects today first
        QTest::keyClick(&window(), Qt::Key_Right);
        QCOMPARE(root.grid()->selectedDate(), QDate(2026, 3, 26));
        QTest::keyClick(&window(), Qt::Key_Down);
        QCOMPARE(root.grid()->selectedDate(), QDate(2026, 4, 2));
        QCOMPARE(root.grid()->title(), QStringLiteral("April 2026"));
        QTest::keyClick(&window(), Qt::Key_PageUp);
        QCOMPARE(root.grid()->title(), QStringLiteral("March 2026"));
        QTest::keyClick(&window(), Qt::Key_Space);
        QVERIFY(!root.grid()->hasSelection());

        // Tab goes round every control.
        QStringList reached;
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(&window(), Qt::Key_Tab);
            QQuickItem *focused = window().activeFocusItem();
            for (QQuickItem *up = focused; up; up = up->parentItem()) {
                if (!up->objectName().isEmpty()) {
                    reached.append(up->objectName());
                    break;
                }
            }
        }
        for (const char *name : {"previousMonth", "nextMonth", "grid", "firstHeader", "newEvent", "firstRows",
                 "upcomingHeader", "upcomingRows", "openCalendar", "quit"})
            QVERIFY2(reached.contains(name), qPrintable(reached.join(", ")));

        // Return on a focused button presses it; on the list it opens the row.
        while (window().activeFocusItem() != item("firstRows"))
            QTest::keyClick(&window(), Qt::Key_Tab);
        QTest::keyClick(&window(), Qt::Key_Return);
        QVERIFY(sheetSettled(true));
        QCOMPARE(root.sheetKind(), PopoverViewModel::EventDetailSheet);
        QCOMPARE(root.detail()->title(), QStringLiteral("Daily"));
    }

    void theFormByKeyboardAlone()
    {
        PopoverViewModel &root = *m_popover->viewModel;
        QTest::keyClick(&window(), Qt::Key_Return); // on the grid: a new event on today
        QVERIFY(sheetSettled(true));
        QCOMPARE(root.activeSheet()->date, QDateTime(QDate(2026, 3, 25), QTime(0, 0), Berlin));
        // Today, at 10:00: the next full hour, not 01:00.
        QCOMPARE(root.form()->start()->value(), QDateTime(QDate(2026, 3, 25), QTime(11, 0), Berlin));
        QTRY_COMPARE(window().activeFocusItem(), item("titleField"));
        for (const char character : QByteArray("Gym"))
            QTest::keyClick(&window(), character);

        // Tab visits every field of the form, and each takes its keys.
        QStringList reached;
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(&window(), Qt::Key_Tab);
            reached.append(window().activeFocusItem()->objectName());
            if (reached.last() == QLatin1String("allDay"))
                QTest::keyClick(&window(), Qt::Key_Space);
            if (reached.last() == QLatin1String("startField"))
                QTest::keyClick(&window(), Qt::Key_Up); // the day: one later
            if (reached.last() == QLatin1String("endField")) {
                QTest::keyClick(&window(), Qt::Key_2); // the day: the 27th…
                QTest::keyClick(&window(), Qt::Key_7);
            }
        }
        for (const char *name :
            {"allDay", "startField", "endField", "calendarPicker", "cancelForm", "addEvent", "titleField"})
            QVERIFY2(reached.contains(name), qPrintable(reached.join(", ")));
        NewEventViewModel *form = root.form();
        QVERIFY(form->isAllDay());
        QCOMPARE(form->start()->value().date(), QDate(2026, 3, 26));
        QCOMPARE(form->end()->value().date(), QDate(2026, 3, 27));

        while (window().activeFocusItem() != item("titleField"))
            QTest::keyClick(&window(), Qt::Key_Tab);
        QTest::keyClick(&window(), Qt::Key_Return);
        QVERIFY(sheetSettled(false));
        const QList<CalendarEvent> saved = m_popover->store->events(
            QDateTime(QDate(2026, 3, 26), QTime(0, 0), Berlin), QDateTime(QDate(2026, 3, 29), QTime(0, 0), Berlin));
        const auto gym
            = std::find_if(saved.begin(), saved.end(), [](const CalendarEvent &e) { return e.title == "Gym"; });
        QVERIFY(gym != saved.end());
        QVERIFY(gym->allDay);
        QCOMPARE(gym->startDate, QDate(2026, 3, 26));
        QCOMPARE(gym->endDate, QDate(2026, 3, 28)); // the 27th was the last day
    }

    // March 2026 takes six rows of days. With both lists longer than the
    // room left, each shows whole rows above the footer, and its scroll bar
    // stays in view to say there are more.
    void theListsShowWholeRowsAndSayTheyScroll()
    {
        m_popover = std::make_unique<PopoverFixture>(Now, Berlin);
        PopoverFixture &p = *m_popover;
        for (int i = 0; i < 8; ++i) {
            const QByteArray hour = QByteArray::number(12 + i);
            p.addEvent("personal", QStringLiteral("t%1").arg(i),
                "SUMMARY:Today " + hour + "\r\nDTSTART;TZID=Europe/Berlin:20260325T" + hour
                    + "0000\r\nDTEND;TZID=Europe/Berlin:20260325T" + hour + "3000\r\n");
            p.addEvent("personal", QStringLiteral("u%1").arg(i),
                "SUMMARY:Friday " + hour + "\r\nDTSTART;TZID=Europe/Berlin:20260327T" + hour
                    + "0000\r\nDTEND;TZID=Europe/Berlin:20260327T" + hour + "3000\r\n");
        }
        p.startStore();
        p.showView();
        EventsListViewModel *list = p.viewModel->eventsList();
        QCOMPARE(p.viewModel->grid()->rowCount(), 6);
        const qreal footerTop = item("openCalendar")->mapToScene(QPointF(0, 0)).y();
        for (const char *name : {"firstRows", "upcomingRows"}) {
            QQuickItem *rows = item(QString::fromLatin1(name));
            QVERIFY(rows && rows->isVisible());
            const int shown = qstrcmp(name, "firstRows") == 0 ? list->firstListHeight() : list->upcomingListHeight();
            QVERIFY2(shown >= EventsListViewModel::listHeightFor(2), name);
            QTRY_COMPARE(rows->height(), qreal(shown)); // not squeezed below whole rows
            QVERIFY(rows->mapToScene(QPointF(0, rows->height())).y() <= footerTop);
            QQuickItem *hidden = nullptr;
            QQuickItem *bar = PopoverFixture::findItem(rows, QStringLiteral("scrollBar"), &hidden);
            QVERIFY(bar);
            auto *thumb = bar->property("contentItem").value<QQuickItem *>();
            QVERIFY(thumb);
            QTRY_COMPARE(thumb->opacity(), 1.0);
        }
        QVERIFY(list->firstScrolls() && list->upcomingScrolls());
        // Closing today's section gives its room to the coming days.
        const int before = list->upcomingListHeight();
        click("firstHeader");
        QTRY_VERIFY(!item("firstRows")->isVisible());
        QVERIFY(list->upcomingListHeight() > before);
        QTRY_COMPARE(item("upcomingRows")->height(), qreal(list->upcomingListHeight()));
    }

    // Where no calendar application is installed, "Open Calendar" says so.
    void openCalendarWithoutAnApplicationSaysSo()
    {
        m_popover->launcher.calendarAppInstalled = false;
        m_popover->launcher.calendarAppStarts = false;
        QVERIFY(!item("openCalendarMessage")->isVisible());
        click("openCalendar");
        QTRY_VERIFY(item("openCalendarMessage")->isVisible());
        QCOMPARE(item("openCalendarMessage")->property("text").toString(),
            QStringLiteral("No calendar application is installed"));
        QStringList names;
        collectNames(QAccessible::queryAccessibleInterface(&window()), names);
        QVERIFY2(names.contains("No calendar application is installed"), qPrintable(names.join(" | ")));
        // Nothing else moves out of the window for it.
        QVERIFY(item("quit")->mapToScene(QPointF(0, item("quit")->height())).y() <= window().height());
    }

    void aScreenReaderFindsTheControlsByName()
    {
        QAccessibleInterface *top = QAccessible::queryAccessibleInterface(&window());
        QVERIFY(top);
        QStringList names;
        collectNames(top, names);
        for (const char *name :
            {"Previous Month", "Next Month", "March 2026", "New Event", "Today", "Upcoming", "Open Calendar", "Quit",
                "Wednesday 25 March 2026, today, with events", "Monday", "Tuesday 24 March 2026"})
            QVERIFY2(names.contains(name), qPrintable(name + QStringLiteral(" not in ") + names.join(" | ")));
        QVERIFY(std::any_of(names.begin(), names.end(), [](const QString &n) { return n.startsWith("Daily, 12:00"); }));

        click("newEvent");
        QVERIFY(sheetSettled(true));
        names.clear();
        collectNames(top, names);
        for (const char *name : {"Cancel", "New Event", "Add", "Event title", "All day", "Start", "End", "Calendar"})
            QVERIFY2(names.contains(name), qPrintable(name + QStringLiteral(" not in ") + names.join(" | ")));

        // A press through the accessibility interface works like a click.
        QAccessibleInterface *cancel = nullptr;
        std::function<void(QAccessibleInterface *)> find = [&](QAccessibleInterface *node) {
            if (!node || cancel)
                return;
            if (node->text(QAccessible::Name) == QLatin1String("Cancel") && node->actionInterface())
                cancel = node;
            for (int i = 0; i < node->childCount(); ++i)
                find(node->child(i));
        };
        find(top);
        QVERIFY(cancel);
        cancel->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(sheetSettled(false));
    }
};

BRIVANE_TEST_MAIN(PopoverUiTest)
#include "tst_popoverui.moc"
