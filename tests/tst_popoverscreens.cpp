// The popover drawn at a fixed moment with local and Zoho events: today,
// a selected day, the detail of a recurring event, the form with an error.
// With BRIVANE_SCREENSHOTS=<folder> the pictures are written there (the
// README's come from docs/); without it only what they show is checked.
#define BRIVANE_TEST_APPLICATION QApplication
#include "PopoverTestSupport.h"

#include <QApplication>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Brivane_ResourcesPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_PopoverPlugin)

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
// Tuesday 14 April 2026, 09:41 in Berlin.
const QDateTime Now(QDate(2026, 4, 14), QTime(9, 41), Berlin);

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

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        m_popover = std::make_unique<PopoverFixture>(Now, Berlin);
        PopoverFixture &p = *m_popover;
        p.addCalendar("personal", "Personal", "#34C759");
        p.addCalendar("work", "Work", "#007AFF");
        p.addEvent("work", "standup",
            "SUMMARY:Team standup\r\nDTSTART;" + at("20260406", "093000") + "\r\nDTEND;" + at("20260406", "094500")
                + "\r\nRRULE:FREQ=WEEKLY;BYDAY=MO,TU,TH\r\n"
                  "DESCRIPTION:What we did\\, what we do next\\, what is in the way.\r\n"
                  "URL:https://meet.example.com/team-standup\r\n");
        p.addEvent("personal", "birthday",
            "SUMMARY:Mum's birthday\r\nDTSTART;VALUE=DATE:20260414\r\n"
            "DTEND;VALUE=DATE:20260415\r\n");
        p.addEvent("personal", "lunch",
            "SUMMARY:Lunch with Sam\r\nDTSTART;" + at("20260414", "123000") + "\r\nDTEND;" + at("20260414", "133000")
                + "\r\n");
        p.addEvent("work", "review",
            "SUMMARY:Design review\r\nDTSTART;" + at("20260414", "150000") + "\r\nDTEND;" + at("20260414", "160000")
                + "\r\n");
        p.addEvent("personal", "dentist",
            "SUMMARY:Dentist\r\nDTSTART;" + at("20260416", "161500") + "\r\nDTEND;" + at("20260416", "170000")
                + "\r\n");
        p.addEvent("personal", "flight",
            "SUMMARY:Flight to Lisbon\r\nDTSTART;" + at("20260417", "180500") + "\r\nDTEND;" + at("20260417", "214000")
                + "\r\n");
        p.startStore();
        p.connectZoho(QJsonArray {QJsonObject {{"uid", "marketing"}, {"calname", "Marketing"}, {"color", "#AF52DE"}}},
            {{"marketing",
                QJsonArray {zohoEventJson("c1", "Campaign sync", "20260414T090000Z", "20260414T093000Z"),
                    zohoEventJson("c2", "Quarterly planning", "20260415T080000Z", "20260415T100000Z"),
                    zohoEventJson("c3", "Team offsite", "20260418", "20260419", "true")}}});
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
        save(QStringLiteral("popover-today.png"));
    }

    void aSelectedDay()
    {
        QQuickItem *thursday = m_popover->item("day 16");
        QVERIFY(thursday);
        QTest::mouseClick(m_popover->view.get(), Qt::LeftButton, {}, centreOf(thursday));
        EventsListViewModel *list = m_popover->viewModel->eventsList();
        QTRY_COMPARE(list->firstSectionTitle(), QStringLiteral("Thursday, Apr 16"));
        QVERIFY(!list->showUpcoming());
        QCOMPARE(list->firstRows()->rowCount(), 2);
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
        QVERIFY(detail && detail->shownEvent().localEvent && detail->shownEvent().localEvent->isRecurring);
        QVERIFY(detail->canDelete());
        QVERIFY(m_popover->item("openInCalendar")->isVisible());
        save(QStringLiteral("popover-detail.png"));
        detail->close();
        QVERIFY(sheetSettled(false));
    }

    void formWithAnError()
    {
        m_popover->server->setCreateFailure(FakeZohoServer::Failure::Status500);
        QQuickItem *friday = m_popover->item("day 17");
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
