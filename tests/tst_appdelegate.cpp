// SPDX-License-Identifier: GPL-3.0-or-later
// The application shell without a tray: launch, click routing, the windows'
// rules and the first-run completion, with a status item that records.
#define BRIVANE_TEST_APPLICATION QApplication
#include "PopoverTestSupport.h"
#include "app/AppDelegate.h"
#include "app/PopoverWindow.h"
#include "app/StatusCommand.h"
#include "app/StoreSetup.h"
#include "app/XdgDesktopLauncher.h"
#include "onboarding/OnboardingViewModel.h"
#include "popover/PopoverViewModel.h"
#include "settings/AppSettings.h"
#include "settings/AutostartEntry.h"
#include "settings/ui/SettingsViewModel.h"

#include <QAccessible>
#include <QApplication>
#include <QQuickItem>
#include <QQuickView>

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");

class RecordingStatusItem final : public StatusItem
{
public:
    void setIcon(const QString &symbolName, int dayOfMonth) override
    {
        icon = symbolName;
        day = dayOfMonth;
    }
    void setTitle(const QString &text) override
    {
        titleText = text;
        ++titleUpdates;
    }
    QString title() const override { return titleText; }
    bool isAvailable() const override { return true; }
    void showMenu(QMenu *menu, const QPoint &) override { shownMenu = menu; }
    QRect geometry() const override { return QRect(600, 0, 22, 22); }
    void click(Click kind) { emit clicked(kind, QPoint(610, 10)); }

    QString icon;
    int day = 0;
    QString titleText;
    int titleUpdates = 0;
    QPointer<QMenu> shownMenu;
};

// The visible item named `name` in the item tree (delegates are not QObject children).
QQuickItem *findVisible(QQuickItem *from, const QString &name)
{
    if (from->objectName() == name && from->isVisible())
        return from;
    for (QQuickItem *child : from->childItems()) {
        if (QQuickItem *found = findVisible(child, name))
            return found;
    }
    return nullptr;
}
} // namespace

class AppDelegateTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<FixedClock> m_clock;
    std::unique_ptr<AppDelegate> m_delegate;
    RecordingStatusItem *m_item = nullptr;

    AppDelegate &launch(bool onboarded, std::unique_ptr<DesktopLauncher> launcher = nullptr)
    {
        m_settings->setOnboardingComplete(onboarded);
        auto store = createCalendarStore(*m_settings, *m_clock);
        store->waitUntilLoaded();
        auto item = std::make_unique<RecordingStatusItem>();
        m_item = item.get();
        m_delegate = std::make_unique<AppDelegate>(
            *m_settings, *m_clock, std::move(store), std::move(item), std::move(launcher));
        m_delegate->applicationDidFinishLaunching();
        return *m_delegate;
    }
    static QString personalCalendar() { return defaultCalendarRoot() + "/local/personal"; }

private slots:
    void init()
    {
        QFile::remove(m_config.path() + "/brivane.conf");
        QDir(defaultCalendarRoot()).removeRecursively();
        m_settings = std::make_unique<AppSettings>(m_config.path() + "/brivane.conf");
        m_clock = std::make_unique<FixedClock>(QDateTime(QDate(2026, 3, 25), QTime(10, 0), Berlin), Berlin);
    }
    void cleanup() { m_delegate.reset(); }

    void theIconShowsTodayInTheUsersZone()
    {
        AppDelegate &delegate = launch(true);
        QCOMPARE(m_item->icon, QStringLiteral("calendar"));
        QCOMPARE(m_item->day, 25);
        // 23:30 UTC is half past midnight in Berlin: already the 26th.
        m_clock->setNow(QDateTime(QDate(2026, 3, 25), QTime(23, 30), QTimeZone::utc()));
        delegate.updateStatusTitle();
        QCOMPARE(m_item->day, 26);
        // Across the month's end, the page starts again at 1.
        m_clock->setNow(QDateTime(QDate(2026, 3, 31), QTime(23, 59, 50), Berlin));
        delegate.updateStatusTitle();
        QCOMPARE(m_item->day, 31);
        m_clock->advanceSeconds(20);
        delegate.updateStatusTitle();
        QCOMPARE(m_item->day, 1);
    }

    void leftClickTogglesThePopoverOnceOnboarded()
    {
        AppDelegate &delegate = launch(true);
        QCOMPARE(m_item->icon, QStringLiteral("calendar"));
        QVERIFY(m_item->titleUpdates > 0);

        m_item->click(StatusItem::Click::Left);
        PopoverWindow *popover = delegate.popover();
        QVERIFY(popover->isVisible());
        QCOMPARE(popover->size(), QSize(320, 620));
        QQuickItem *content = popover->rootObject();
        QVERIFY(content);
        // A window screen readers see (Qt leaves popups out of that tree).
        QCOMPARE(popover->type(), Qt::Tool);
        QAccessibleInterface *application = QAccessible::queryAccessibleInterface(qApp);
        bool listed = false;
        for (int i = 0; i < application->childCount(); ++i)
            listed = listed || application->child(i)->object() == popover;
        QVERIFY(listed);
        m_item->click(StatusItem::Click::Left);
        QVERIFY(!popover->isVisible());
        // Reopened: the same content, not a new one.
        m_item->click(StatusItem::Click::Left);
        QVERIFY(popover->isVisible());
        QCOMPARE(popover->rootObject(), content);
        QVERIFY(!delegate.onboardingWindow());
    }

    void rightClickShowsAFreshMenuAndLeftClickStillOpens()
    {
        AppDelegate &delegate = launch(true);
        m_item->click(StatusItem::Click::Right);
        QPointer<QMenu> first = m_item->shownMenu;
        QVERIFY(first);
        QStringList texts;
        for (QAction *action : first->actions())
            texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(texts, (QStringList {"Join Next Meeting", "-", QString("Settings\u2026"), "-", "Quit brivane"}));
        QVERIFY(!first->actions()[0]->isEnabled()); // no meeting today
        QCOMPARE(first->actions()[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
        QCOMPARE(first->actions()[4]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        QVERIFY(!delegate.popover()->isVisible());

        m_item->click(StatusItem::Click::Right);
        QVERIFY(m_item->shownMenu != first); // built anew each time
        QTRY_VERIFY(!first);

        m_item->click(StatusItem::Click::Left);
        QVERIFY(delegate.popover()->isVisible());

        QSignalSpy quit(&delegate, &AppDelegate::quitRequested);
        m_item->shownMenu->actions()[4]->trigger();
        QCOMPARE(quit.size(), 1);
    }

    // Every start puts the autostart entry in step with the setting: made
    // again when it went missing, removed when the setting is off.
    void eachStartKeepsTheAutostartEntryInStep()
    {
        const QString entry = AutostartEntry::path();
        m_settings->setLaunchAtLogin(true);
        QFile::remove(entry);
        launch(true);
        QVERIFY(readFile(entry).contains("Exec="));
        m_delegate.reset();

        m_settings->setLaunchAtLogin(false);
        launch(true);
        QVERIFY(!QFileInfo::exists(entry));
    }

    // The menu's first item joins the meeting under way or about to start,
    // named in the item; a hidden calendar's meeting is not offered.
    void theMenuJoinsTheNextMeeting()
    {
        writeFile(personalCalendar() + "/call.ics",
            singleEvent(
                "UID:call\r\nSUMMARY:Design call\r\nDTSTART;TZID=Europe/Berlin:20260325T100500\r\n"
                "DTEND;TZID=Europe/Berlin:20260325T110000\r\nLOCATION:https://meet.google.com/abc-defg-hij\r\n"));
        // Another calendar stays shown (hiding every one shows them all).
        writeFile(defaultCalendarRoot() + "/local/other/lunch.ics",
            singleEvent("UID:lunch\r\nSUMMARY:Lunch\r\nDTSTART;TZID=Europe/Berlin:20260325T100000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T110000\r\n"));
        auto launcher = std::make_unique<RecordingLauncher>();
        RecordingLauncher *opened = launcher.get();
        launch(true, std::move(launcher));
        m_item->click(StatusItem::Click::Right);
        QAction *join = m_item->shownMenu->actions().value(0);
        QVERIFY(join && join->isEnabled());
        QCOMPARE(join->text(), QStringLiteral("Join Next Meeting: Design call"));
        join->trigger();
        QCOMPARE(opened->urls, QList<QUrl> {QUrl("https://meet.google.com/abc-defg-hij")});

        m_settings->setHiddenCalendarIds(
            {"local:" + personalCalendar(), "local:" + QFileInfo(personalCalendar()).canonicalFilePath()});
        m_item->click(StatusItem::Click::Right);
        QVERIFY(!m_item->shownMenu->actions().value(0)->isEnabled());
    }

    // A reminder's "Open": the popover comes up with the event's detail, and
    // a second reminder's replaces it; a form being filled in stays.
    void aRemindersOpenShowsTheEventsDetail()
    {
        writeFile(personalCalendar() + "/review.ics",
            singleEvent("UID:review\r\nSUMMARY:Design review\r\nDTSTART;TZID=Europe/Berlin:20260325T110000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T120000\r\n"));
        writeFile(personalCalendar() + "/retro.ics",
            singleEvent("UID:retro\r\nSUMMARY:Retro\r\nDTSTART;TZID=Europe/Berlin:20260325T160000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T170000\r\n"));
        AppDelegate &delegate = launch(true);
        const QList<CalendarEvent> events = delegate.eventStore().events(
            QDateTime(QDate(2026, 3, 25), QTime(0, 0), Berlin), QDateTime(QDate(2026, 3, 26), QTime(0, 0), Berlin));
        QCOMPARE(events.size(), 2);
        delegate.showEventDetail(events[0]);
        QVERIFY(delegate.popover()->isVisible());
        PopoverViewModel *popover = delegate.popoverViewModel();
        QVERIFY(popover);
        QCOMPARE(popover->sheetKind(), PopoverViewModel::EventDetailSheet);
        QCOMPARE(popover->detail()->title(), QStringLiteral("Design review"));
        delegate.showEventDetail(events[1]);
        QVERIFY(delegate.popover()->isVisible());
        QCOMPARE(popover->detail()->title(), QStringLiteral("Retro"));

        popover->closeSheet();
        popover->openNewEvent(QDateTime(QDate(2026, 3, 25), QTime(14, 0), Berlin));
        QCOMPARE(popover->sheetKind(), PopoverViewModel::NewEventSheet);
        delegate.showEventDetail(events[0]);
        QCOMPARE(popover->sheetKind(), PopoverViewModel::NewEventSheet);
    }

    void settingsWindowIsBroughtForwardWhileOpenAndMadeAnewAfterClose()
    {
        AppDelegate &delegate = launch(true);
        delegate.openSettings();
        QQuickView *first = delegate.settingsWindow();
        QVERIFY(first && first->isVisible());
        QCOMPARE(first->title(), QStringLiteral("Settings"));
        QCOMPARE(first->size(), QSize(420, 480));
        delegate.openSettings();
        QCOMPARE(delegate.settingsWindow(), first);

        first->close();
        QVERIFY(!first->isVisible());
        delegate.openSettings();
        QVERIFY(delegate.settingsWindow() != first);
        QVERIFY(delegate.settingsWindow()->isVisible());
    }

    // With the desktop's text at 1.25 times the 11 pt body, the windows
    // are 1.25 times as large: their texts grow by as much.
    void windowsGrowWithTheDesktopsText()
    {
        const QFont before = QGuiApplication::font();
        auto restore = qScopeGuard([&] { QGuiApplication::setFont(before); });
        QFont larger = before;
        larger.setPointSizeF(13.75);
        QGuiApplication::setFont(larger);
        AppDelegate &delegate = launch(true);
        m_item->click(StatusItem::Click::Left);
        QVERIFY(delegate.popover()->isVisible());
        QCOMPARE(delegate.popover()->size(), QSize(400, 775));
        QCOMPARE(delegate.popover()->minimumSize(), QSize(400, 775));
        QCOMPARE(delegate.popover()->maximumSize(), QSize(400, 775));
        delegate.openSettings();
        QCOMPARE(delegate.settingsWindow()->size(), QSize(525, 600));
    }

    // The desktop's text size changes while brivane runs: the popover is
    // made again for it when it next opens (not while the user is in it),
    // showing the same model, and so what the user left there.
    void thePopoverFollowsATextSizeChangeWhileRunning()
    {
        const QFont before = QGuiApplication::font();
        auto restore = qScopeGuard([&] { QGuiApplication::setFont(before); });
        AppDelegate &delegate = launch(true);
        m_item->click(StatusItem::Click::Left);
        PopoverWindow *popover = delegate.popover();
        QVERIFY(popover->isVisible());
        QCOMPARE(popover->size(), QSize(320, 620));
        PopoverViewModel *model = delegate.popoverViewModel();
        QVERIFY(model);
        const QPointer<QQuickItem> firstContent = popover->rootObject();
        QVERIFY(firstContent);

        QFont larger = before;
        larger.setPointSizeF(13.75);
        QGuiApplication::setFont(larger);
        QCoreApplication::processEvents();
        // Open: left alone.
        QCOMPARE(popover->size(), QSize(320, 620));
        QCOMPARE(popover->rootObject(), firstContent.data());

        m_item->click(StatusItem::Click::Left);
        QVERIFY(!popover->isVisible());
        m_item->click(StatusItem::Click::Left);
        QVERIFY(popover->isVisible());
        QCOMPARE(popover->size(), QSize(400, 775));
        QVERIFY(!firstContent); // made again
        QVERIFY(popover->rootObject());
        QCOMPARE(popover->rootObject()->size(), QSizeF(400, 775));
        QCOMPARE(delegate.popoverViewModel(), model);
        QCOMPARE(popover->rootObject()->property("viewModel").value<PopoverViewModel *>(), model);

        // Closed: at once, back to the usual size.
        m_item->click(StatusItem::Click::Left);
        QGuiApplication::setFont(before);
        QCoreApplication::processEvents();
        QCOMPARE(popover->size(), QSize(320, 620));
        QVERIFY(!popover->hasContent());
        m_item->click(StatusItem::Click::Left);
        QVERIFY(popover->hasContent());
        QCOMPARE(delegate.popoverViewModel(), model);
    }

    void firstRunShowsOnboardingAndCompletionStartsEverything()
    {
        AppDelegate &delegate = launch(false);
        QCOMPARE(m_item->titleUpdates, 0); // no title until onboarding completes
        QVERIFY(!delegate.onboardingWindow());
        QTRY_VERIFY_WITH_TIMEOUT(delegate.onboardingWindow() && delegate.onboardingWindow()->isVisible(), 2000);
        QQuickView *window = delegate.onboardingWindow();
        QCOMPARE(window->size(), QSize(480, 540));
        QVERIFY(window->title().isEmpty());

        // A left click while onboarding runs does not open the popover.
        m_item->click(StatusItem::Click::Left);
        QVERIFY(!delegate.popover()->isVisible());
        QCOMPARE(delegate.onboardingWindow(), window); // brought forward, not doubled

        auto *viewModel = window->rootObject()->property("viewModel").value<OnboardingViewModel *>();
        QVERIFY(viewModel);
        bool flagWrittenFirst = false;
        connect(viewModel, &OnboardingViewModel::completed, this,
            [&] { flagWrittenFirst = AppSettings(m_config.path() + "/brivane.conf").onboardingComplete(); });
        QMetaObject::invokeMethod(viewModel, "finishOnboarding");
        QVERIFY(flagWrittenFirst);
        QVERIFY(!delegate.onboardingWindow());
        QVERIFY(m_item->titleUpdates > 0);
        QTRY_VERIFY(delegate.popover()->hasContent()); // made when access is answered
        m_item->click(StatusItem::Click::Left);
        QVERIFY(delegate.popover()->isVisible());
    }

    void onboardingClickedThroughToGetStartedStartsTheTray()
    {
        AppDelegate &delegate = launch(false);
        QTRY_VERIFY_WITH_TIMEOUT(delegate.onboardingWindow() && delegate.onboardingWindow()->isVisible(), 2000);
        QQuickView *window = delegate.onboardingWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const auto item = [window](const char *name) { return findVisible(window->rootObject(), name); };
        const auto click = [window](QQuickItem *target) {
            QVERIFY(target && target->isVisible());
            QTest::mouseClick(window, Qt::LeftButton, {},
                target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint());
        };
        const auto page = [window] {
            return window->rootObject()->property("viewModel").value<QObject *>()->property("page").toInt();
        };
        click(item("trailing")); // "Continue"
        QCOMPARE(page(), 1);
        QTRY_VERIFY(item("skip"));
        click(item("skip")); // "Skip for now"
        QCOMPARE(page(), 2);
        QTRY_VERIFY(item("trailing"));
        QCOMPARE(item("trailing")->property("text").toString(), QStringLiteral("Get Started"));
        QCOMPARE(m_item->titleUpdates, 0);
        click(item("trailing"));

        QVERIFY(AppSettings(m_config.path() + "/brivane.conf").onboardingComplete());
        QVERIFY(!delegate.onboardingWindow());
        QVERIFY(m_item->titleUpdates > 0);
        QCOMPARE(m_item->icon, QStringLiteral("calendar"));
        QTRY_VERIFY(delegate.popover()->hasContent());
        m_item->click(StatusItem::Click::Left);
        QVERIFY(delegate.popover()->isVisible());
    }

    void settingsWindowShowsTheStoresCalendars()
    {
        AppDelegate &delegate = launch(true);
        delegate.openSettings();
        QQuickView *window = delegate.settingsWindow();
        QVERIFY(delegate.settingsViewModel());
        QCOMPARE(delegate.settingsViewModel()->selectedTab(), 0);
        QVERIFY(findVisible(window->rootObject(), "calendar Personal"));
        delegate.settingsViewModel()->setSelectedTab(2);
        window->close();
        delegate.openSettings(); // a new window, on the first tab
        QCOMPARE(delegate.settingsViewModel()->selectedTab(), 0);
    }

    void storeChangesUpdateTheTitleWithoutTheTimer()
    {
        launch(true);
        QCOMPARE(m_item->titleText, QStringLiteral("Wed 25 Mar"));
        writeFile(personalCalendar() + "/x.ics",
            singleEvent("UID:x\r\nSUMMARY:Dentist\r\nDTSTART;TZID=Europe/Berlin:20260325T101500\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T110000\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(m_item->titleText, QString("Dentist \u00B7 in 15m"), 3000);
    }

    // The settings' switch decides what the bar shows: a calendar switched
    // off leaves the title at once, and comes back when switched on.
    void aHiddenCalendarLeavesTheTitleAtOnce()
    {
        const QString work = defaultCalendarRoot() + "/local/work";
        writeFile(work + "/displayname", "Work");
        writeFile(work + "/w.ics",
            singleEvent("UID:w\r\nSUMMARY:Client call\r\nDTSTART;TZID=Europe/Berlin:20260325T101000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T102000\r\n"));
        writeFile(personalCalendar() + "/p.ics",
            singleEvent("UID:p\r\nSUMMARY:Dentist\r\nDTSTART;TZID=Europe/Berlin:20260325T143000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T150000\r\n"));
        launch(true);
        QCOMPARE(m_item->titleText, QString("Client call \u00B7 in 10m"));

        const QString workId = "local:" + QFileInfo(work).canonicalFilePath();
        m_settings->toggleCalendar(workId);
        QCOMPARE(m_item->titleText, QString("Dentist \u00B7 14:30"));
        m_settings->toggleCalendar(workId);
        QCOMPARE(m_item->titleText, QString("Client call \u00B7 in 10m"));
    }

    void statusCommandPrintsTheTooltip()
    {
        writeFile(personalCalendar() + "/y.ics",
            singleEvent("UID:y\r\nSUMMARY:Standup\r\nDTSTART;TZID=Europe/Berlin:20260325T093000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T101000\r\n"));
        launch(true);
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(runStatusCommand({"status", "--at", m_clock->now().toString(Qt::ISODate)}, outStream, errStream), 0);
        outStream.flush();
        QCOMPARE(out.trimmed(), m_item->titleText);
        QCOMPARE(m_item->titleText, QString("Standup \u00B7 10m left"));
    }

    void thePopoverListsZohoEventsBesideLocalOnes()
    {
        writeFile(personalCalendar() + "/l.ics",
            singleEvent("UID:l\r\nSUMMARY:Local\r\nDTSTART;TZID=Europe/Berlin:20260325T120000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T130000\r\n"));
        PopoverFixture zohoSide(m_clock->now(), Berlin);
        zohoSide.connectZoho(QJsonArray {QJsonObject {{"uid", "z"}, {"calname", "Zoho"}}},
            {{"z", QJsonArray {zohoEventJson("1", "From Zoho", "20260325T140000Z", "20260325T150000Z")}}});

        AppDelegate &delegate = launch(true);
        m_item->click(StatusItem::Click::Left); // the content exists before Zoho is handed over
        delegate.setZohoCalendarManager(zohoSide.zoho.get());
        // Zoho's calendars are the store's now: the lists follow its change.
        QTRY_COMPARE(titlesOf(delegate.popoverViewModel()->eventsList()->firstRows()->events()),
            (QStringList {"Local", "From Zoho"}));
        QVERIFY(delegate.popoverViewModel()
                    ->eventsList()
                    ->firstRows()
                    ->data(delegate.popoverViewModel()->eventsList()->firstRows()->index(1), EventRowsModel::IsZohoRole)
                    .toBool());
        // The status title leaves Zoho's event out: it names the local one.
        QVERIFY(m_item->titleText.contains("Local"));
        QVERIFY(!m_item->titleText.contains("From Zoho"));
    }

    void theCalendarApplicationFromTheDesktopsLists()
    {
        const QString lists = "[Added Associations]\ntext/calendar=evolution.desktop;\n"
                              "[Default Applications]\ntext/calendar=org.gnome.Calendar.desktop;\n";
        QCOMPARE(XdgDesktopLauncher::handlersIn(lists, "text/calendar"),
            (QStringList {"org.gnome.Calendar.desktop", "evolution.desktop"}));
        const QString entry = "[Desktop Entry]\nName=Calendar\nExec=gnome-calendar --gapplication-service %U\n"
                              "[Desktop Action new]\nExec=gnome-calendar --new\n";
        QCOMPARE(XdgDesktopLauncher::execOf(entry), QStringLiteral("gnome-calendar --gapplication-service %U"));
        QCOMPARE(XdgDesktopLauncher::commandFor("gnome-calendar %U", QDate(2026, 3, 25)),
            (QStringList {"gnome-calendar", "--date", "2026-03-25"}));
        QCOMPARE(XdgDesktopLauncher::commandFor("\"/opt/My Calendar/cal\" %f", QDate(2026, 3, 25)),
            QStringList {"/opt/My Calendar/cal"});
        QCOMPARE(XdgDesktopLauncher::commandFor("evolution %U", QDate()),
            (QStringList {"evolution", "--component=calendar"}));
    }

    void popoverPlacement_data()
    {
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("top panel, middle") << QRect(600, 0, 24, 24) << QPoint(452, 28);
        QTest::newRow("top panel, right edge") << QRect(1256, 0, 24, 24) << QPoint(960, 28);
        QTest::newRow("bottom panel") << QRect(100, 776, 24, 24) << QPoint(0, 152);
    }
    void popoverPlacement()
    {
        QFETCH(QRect, anchor);
        QFETCH(QPoint, expected);
        QCOMPARE(PopoverWindow::placement(anchor, QSize(320, 620), QRect(0, 0, 1280, 800)), expected);
    }

    void popoverWindowKind()
    {
        // Plain X11 and Wayland: a tool window, placed by the window manager's leave.
        QVERIFY(PopoverWindow::flagsFor("xcb", false).testFlag(Qt::Tool));
        QVERIFY(!PopoverWindow::flagsFor("xcb", false).testFlag(Qt::BypassWindowManagerHint));
        QVERIFY(PopoverWindow::flagsFor("wayland", true).testFlag(Qt::Tool));
        // XWayland: unmanaged, and not a utility window (those get no keyboard there).
        const Qt::WindowFlags xwayland = PopoverWindow::flagsFor("xcb", true);
        QVERIFY(xwayland.testFlag(Qt::BypassWindowManagerHint));
        QCOMPARE(xwayland & Qt::WindowType_Mask, Qt::Window);
        for (const Qt::WindowFlags flags : {PopoverWindow::flagsFor("xcb", false), xwayland})
            QVERIFY(flags.testFlag(Qt::FramelessWindowHint) && flags.testFlag(Qt::WindowStaysOnTopHint));
    }

    // Panels that give only the click point (StatusNotifierItem hosts): the
    // popover still lands beside the panel, not over it.
    void popoverPlacementFromAClick_data()
    {
        QTest::addColumn<QPoint>("click");
        QTest::addColumn<QPoint>("expected");
        // A 31 px bar at the top clicked in its middle row: 35 = 31 + the 4 px gap.
        QTest::newRow("top bar, right end") << QPoint(1200, 15) << QPoint(960, 35);
        // In the corner, nearer the left edge than the top: still the top bar.
        QTest::newRow("top bar, left corner") << QPoint(10, 14) << QPoint(0, 33);
        // A 39 px bottom panel: the popover ends 4 px above it.
        QTest::newRow("bottom panel") << QPoint(640, 780) << QPoint(480, 800 - 39 - 4 - 620);
        QTest::newRow("left dock") << QPoint(24, 400) << QPoint(49 + 4, 400 - 310);
        // Beside a right dock, moved down onto the screen.
        QTest::newRow("right dock") << QPoint(1256, 300) << QPoint(1280 - 47 - 4 - 320, 0);
        // Too far from every edge to be a panel (a keyboard shortcut's
        // pointer): right under the point.
        QTest::newRow("middle of the screen") << QPoint(640, 100) << QPoint(480, 105);
        QTest::newRow("a point off the screen") << QPoint(-5, -5) << QPoint(0, 0);
    }
    void popoverPlacementFromAClick()
    {
        QFETCH(QPoint, click);
        QFETCH(QPoint, expected);
        const QRect screen(0, 0, 1280, 800);
        const PopoverWindow::PanelAnchor anchor = PopoverWindow::anchorForClick(click, screen);
        QCOMPARE(PopoverWindow::placement(anchor.rect, QSize(320, 620), screen, anchor.edge), expected);
    }

    // `brivane --toggle` brings the pointer alone: a bound key leaves it
    // anywhere, a panel's launcher on the panel.
    void toggleOpensBesideThePanel_data()
    {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<std::optional<QPoint>>("lastItemClick");
        QTest::addColumn<QPoint>("expected");
        const std::optional<QPoint> none;
        const std::optional<QPoint> topRight = QPoint(1200, 15);
        QTest::newRow("pointer mid-screen, item clicked before") << QPoint(640, 400) << topRight << QPoint(1200, 15);
        QTest::newRow("pointer on a panel of its own") << QPoint(300, 790) << topRight << QPoint(300, 790);
        QTest::newRow("pointer exactly at the reach") << QPoint(640, 64) << topRight << QPoint(640, 64);
        QTest::newRow("pointer just beyond the reach") << QPoint(640, 65) << topRight << QPoint(1200, 15);
        QTest::newRow("pointer off the screen") << QPoint(-40, 10) << topRight << QPoint(1200, 15);
        QTest::newRow("no click yet: the pointer") << QPoint(640, 400) << none << QPoint(640, 400);
    }
    void toggleOpensBesideThePanel()
    {
        QFETCH(QPoint, pointer);
        QFETCH(std::optional<QPoint>, lastItemClick);
        QFETCH(QPoint, expected);
        QCOMPARE(PopoverWindow::pointForToggle(pointer, lastItemClick, QRect(0, 0, 1280, 800)), expected);
    }
};

BRIVANE_TEST_MAIN(AppDelegateTest)
#include "tst_appdelegate.moc"
