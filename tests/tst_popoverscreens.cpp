// SPDX-License-Identifier: GPL-3.0-or-later
// The popover drawn at a fixed moment with local and Zoho events: today in
// a month of six rows with both lists longer than the room and the days
// with events marked, a selected day, the detail of a recurring event, the
// form with an error.
// With BRIVANE_SCREENSHOTS=<folder> the pictures are written there (the
// README's come from docs/); without it only what they show is checked.
#define BRIVANE_TEST_APPLICATION QApplication
#include "FakeColorScheme.h"
#include "PopoverTestSupport.h"
#include "resources/Theme.h"

#include <QApplication>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Brivane_ResourcesPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_PopoverPlugin)

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
// Tuesday 17 March 2026, 09:41 in Berlin (a month of six rows in the grid).
const QDateTime Now(QDate(2026, 3, 17), QTime(9, 41), Berlin);

QByteArray at(const char *day, const char *time)
{
    return QByteArray("TZID=Europe/Berlin:") + day + "T" + time;
}
} // namespace

class PopoverScreensTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PopoverFixture> m_popover;

    void save(const QString &name)
    {
        const QImage image = m_popover->view->grabWindow();
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(320, 620) * m_popover->view->devicePixelRatio());
        const QString folder = qEnvironmentVariable("BRIVANE_SCREENSHOTS");
        if (!folder.isEmpty())
            QVERIFY(image.save(folder + QLatin1Char('/') + name));
    }
    bool sheetSettled(bool shown) { return m_popover->sheetSettled(shown); }
    // How much of a list's scroll bar is seen (it fades in and out).
    qreal scrollBarOpacity(const QString &list) const
    {
        QQuickItem *hidden = nullptr;
        QQuickItem *bar = PopoverFixture::findItem(m_popover->item(list), QStringLiteral("scrollBar"), &hidden);
        auto *thumb = bar ? bar->property("contentItem").value<QQuickItem *>() : nullptr;
        return thumb ? thumb->opacity() : -1;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        m_popover = std::make_unique<PopoverFixture>(Now, Berlin);
        PopoverFixture &p = *m_popover;
        p.addCalendar("personal", "Personal", "#34C759");
        p.addCalendar("work", "Work", "#30B0C7");
        p.addEvent("work", "standup",
            "SUMMARY:Team standup\r\nDTSTART;" + at("20260309", "093000") + "\r\nDTEND;" + at("20260309", "094500")
                + "\r\nRRULE:FREQ=WEEKLY;BYDAY=MO,TU,TH\r\n"
                  "DESCRIPTION:What we did\\, what we do next\\, what is in the way.\r\n"
                  "URL:https://meet.google.com/tmx-stnd-upq\r\n");
        p.addEvent("personal", "birthday",
            "SUMMARY:Mum's birthday\r\nDTSTART;VALUE=DATE:20260317\r\n"
            "DTEND;VALUE=DATE:20260318\r\n");
        p.addEvent("personal", "lunch",
            "SUMMARY:Lunch with Sam\r\nDTSTART;" + at("20260317", "123000") + "\r\nDTEND;" + at("20260317", "133000")
                + "\r\n");
        p.addEvent("work", "review",
            "SUMMARY:Design review\r\nDTSTART;" + at("20260317", "150000") + "\r\nDTEND;" + at("20260317", "160000")
                + "\r\n");
        p.addEvent("personal", "dentist",
            "SUMMARY:Dentist\r\nDTSTART;" + at("20260319", "161500") + "\r\nDTEND;" + at("20260319", "170000")
                + "\r\n");
        p.addEvent("personal", "flight",
            "SUMMARY:Flight to Lisbon\r\nDTSTART;" + at("20260320", "180500") + "\r\nDTEND;" + at("20260320", "214000")
                + "\r\n");
        p.startStore();
        p.connectZoho(QJsonArray {QJsonObject {{"uid", "marketing"}, {"calname", "Marketing"}, {"color", "#AF52DE"}}},
            {{"marketing",
                QJsonArray {zohoEventJson("c1", "Campaign sync", "20260317T100000Z", "20260317T103000Z"),
                    zohoEventJson("c2", "Quarterly planning", "20260318T090000Z", "20260318T110000Z"),
                    zohoEventJson("c3", "Team offsite", "20260321", "20260322", "true")}}});
        p.showView();
    }
    void cleanupTestCase() { m_popover.reset(); }

    void todayWithBothSources()
    {
        EventsListViewModel *list = m_popover->viewModel->eventsList();
        QCOMPARE(list->firstSectionTitle(), QStringLiteral("Today"));
        QCOMPARE(titlesOf(list->firstRows()->events()),
            (QStringList {"Mum's birthday", "Team standup", "Campaign sync", "Lunch with Sam", "Design review"}));
        QVERIFY(list->showUpcoming());
        QVERIFY(m_popover->item("newEvent")->isVisible());
        QCOMPARE(m_popover->viewModel->grid()->rowCount(), 6);
        // Both lists scroll, with whole rows only.
        QVERIFY(list->firstScrolls() && list->upcomingScrolls());
        QTRY_COMPARE(m_popover->item("firstRows")->height(), qreal(list->firstListHeight()));
        QTRY_COMPARE(m_popover->item("upcomingRows")->height(), qreal(list->upcomingListHeight()));
        QTRY_COMPARE(scrollBarOpacity("firstRows"), 1.0);
        QTRY_COMPARE(scrollBarOpacity("upcomingRows"), 1.0);
        // Dots: the standup's days in Work's colour, Friday's flight in
        // Personal's, Thursday's dentist and standup in the accent; today's white.
        for (const char *day : {"dot 9", "dot 17", "dot 19", "dot 20", "dot 31"})
            QVERIFY2(m_popover->item(day)->isVisible(), day);
        QVERIFY(!m_popover->item("dot 18")->isVisible()); // Zoho's planning only
        QVERIFY(!m_popover->item("dot 2")->isVisible());
        save(QStringLiteral("popover-today.png"));
    }

    // The same in the desktop's dark scheme, switched while on screen.
    void todayInDark()
    {
        const QImage light = m_popover->view->grabWindow();
        FakeColorScheme scheme;
        Theme::instance()->setColorSchemeSource(&scheme);
        scheme.set(ColorSchemeSource::Scheme::Dark);
        QVERIFY(Theme::instance()->dark());
        const QImage dark = m_popover->view->grabWindow();
        QVERIFY2(meanLightness(light) > 0.6, qPrintable(QString::number(meanLightness(light))));
        QVERIFY2(meanLightness(dark) < 0.3, qPrintable(QString::number(meanLightness(dark))));
        save(QStringLiteral("popover-today-dark.png"));
        scheme.set(ColorSchemeSource::Scheme::Light);
        QVERIFY(meanLightness(m_popover->view->grabWindow()) > 0.6);
        Theme::instance()->setColorSchemeSource(nullptr);
    }

    // Week numbers beside the month: 9 to 14 for March 2026, each on its row.
    void withWeekNumbers()
    {
        m_popover->settings->setShowWeekNumbers(true);
        QTRY_VERIFY(m_popover->item("weekNumbers")->isVisible());
        QQuickItem *numbers = m_popover->item("weekNumbers");
        QQuickItem *firstDay = m_popover->item("day 1"); // a Sunday: the first row
        QVERIFY(numbers->mapToScene({0, 0}).x() < firstDay->mapToScene({0, 0}).x());
        save(QStringLiteral("popover-week-numbers.png"));
        m_popover->settings->setShowWeekNumbers(false);
        QTRY_VERIFY(!m_popover->item("weekNumbers")->isVisible());
    }

    void aSelectedDay()
    {
        QQuickItem *thursday = m_popover->item("day 19");
        QVERIFY(thursday);
        QTest::mouseClick(m_popover->view.get(), Qt::LeftButton, {}, centreOf(thursday));
        EventsListViewModel *list = m_popover->viewModel->eventsList();
        QTRY_COMPARE(list->firstSectionTitle(), QStringLiteral("Thursday, Mar 19"));
        QVERIFY(!list->showUpcoming());
        QCOMPARE(list->firstRows()->rowCount(), 2);
        QVERIFY(!list->firstScrolls());
        QTRY_COMPARE(m_popover->item("firstRows")->height(), qreal(list->firstListHeight()));
        QTRY_COMPARE(scrollBarOpacity("firstRows"), 0.0);
        save(QStringLiteral("popover-selected-day.png"));
        QTest::mouseClick(m_popover->view.get(), Qt::LeftButton, {}, centreOf(thursday));
        QTRY_COMPARE(list->firstSectionTitle(), QStringLiteral("Today"));
    }

    void detailOfARecurringLocalEvent()
    {
        EventsListViewModel *list = m_popover->viewModel->eventsList();
        list->selectFirstRow(1);
        QVERIFY(sheetSettled(true));
        EventDetailViewModel *detail = m_popover->viewModel->detail();
        QVERIFY(detail && detail->shownEvent().source == Source::Local && detail->shownEvent().storeEvent.isRecurring);
        QVERIFY(detail->canDelete());
        QVERIFY(m_popover->item("openInCalendar")->isVisible());
        save(QStringLiteral("popover-detail.png"));
        detail->close();
        QVERIFY(sheetSettled(false));
    }

    void formWithAnError()
    {
        m_popover->server->setCreateFailure(FakeZohoServer::Failure::Status500);
        QQuickItem *friday = m_popover->item("day 20");
        QTest::mouseDClick(m_popover->view.get(), Qt::LeftButton, {}, centreOf(friday));
        QVERIFY(sheetSettled(true));
        NewEventViewModel *form = m_popover->viewModel->form();
        QVERIFY(form);
        form->setTitle(QStringLiteral("Launch retrospective"));
        const int zohoIndex = int(form->targets()->targets().size()) - 1;
        QVERIFY(form->targets()->targets()[zohoIndex].isZoho());
        form->selectTarget(zohoIndex);
        form->save();
        QTRY_VERIFY(!form->saveError().isEmpty());
        QCOMPARE(form->saveError(), QStringLiteral("API error: HTTP 500: Internal Server Error"));
        QTRY_VERIFY(m_popover->item("saveError")->isVisible());
        save(QStringLiteral("popover-form-error.png"));
        form->cancel();
        QVERIFY(sheetSettled(false));
    }
};

BRIVANE_TEST_MAIN(PopoverScreensTest)
#include "tst_popoverscreens.moc"
