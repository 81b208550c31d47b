// SPDX-License-Identifier: GPL-3.0-or-later
// The settings window's and the first-run window's QML driven as a user
// drives them, with mouse and keys (offscreen, software renderer), beside a
// popover that follows what is chosen; and read as a screen reader reads them.
#define BRIVANE_TEST_APPLICATION QApplication
#include "SettingsTestSupport.h"

#include "resources/Theme.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Brivane_ResourcesPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_PopoverPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_SettingsPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_OnboardingPlugin)

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

// The nearest named item around the one with the keyboard (a switch is
// named by its row).
QString focusedName(QQuickWindow &window)
{
    for (QQuickItem *up = window.activeFocusItem(); up; up = up->parentItem()) {
        if (!up->objectName().isEmpty() && up->objectName() != QLatin1String("switch"))
            return up->objectName();
    }
    return {};
}
} // namespace

class SettingsUiTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<SettingsFixture> m_fixture;

    QQuickItem *in(QQuickView &window, const QString &name)
    {
        QQuickItem *found = SettingsFixture::itemIn(window, name);
        if (!found)
            qWarning("no item named \"%s\"", qPrintable(name));
        return found;
    }
    // A named item inside another named item.
    QQuickItem *inside(QQuickView &window, const QString &outer, const QString &name)
    {
        QQuickItem *hidden = nullptr;
        QQuickItem *container = in(window, outer);
        return container ? PopoverFixture::findItem(container, name, &hidden) : nullptr;
    }
    void click(QQuickView &window, QQuickItem *target)
    {
        QVERIFY(target);
        // Laid out by the next frame: a layout that just changed may still be wider.
        QTRY_VERIFY2(QRect(QPoint(), window.size()).contains(centreOf(target)), qPrintable(target->objectName()));
        QTest::mouseClick(&window, Qt::LeftButton, {}, centreOf(target));
    }
    // A point on a row's title, away from its switch.
    static QPoint titleOf(QQuickItem *row) { return row->mapToScene(QPointF(60, row->height() / 2)).toPoint(); }
    QStringList firstTitles() const
    {
        QStringList titles;
        for (const AnyCalendarEvent &event : m_fixture->viewModel->eventsList()->firstRows()->events())
            titles.append(event.title);
        return titles;
    }
    bool sheetSettled(QQuickView &window, bool shown)
    {
        QQuickItem *sheet = in(window, "codeSheet");
        return waitFor([&] { return sheet->property("progress").toReal() == (shown ? 1.0 : 0.0); });
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init()
    {
        m_fixture = std::make_unique<SettingsFixture>(Now, Berlin);
        SettingsFixture &f = *m_fixture;
        f.addAccountCalendar("a", "Local", "personal", "Personal", "#34C759");
        f.addAccountCalendar("b", "Work", "projects", "Projects", "#007AFF");
        writeFile(f.root + "/a/personal/lunch.ics",
            singleEvent("UID:lunch\r\nSUMMARY:Lunch\r\nDTSTART;TZID=Europe/Berlin:20260325T123000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T133000\r\n"));
        writeFile(f.root + "/b/projects/review.ics",
            singleEvent("UID:review\r\nSUMMARY:Review\r\nDTSTART;TZID=Europe/Berlin:20260325T150000\r\n"
                        "DTEND;TZID=Europe/Berlin:20260325T160000\r\n"));
        f.startStore();
    }
    void cleanup() { m_fixture.reset(); }

    void hidingACalendarTakesItsEventsOutOfThePopover()
    {
        SettingsFixture &f = *m_fixture;
        f.showView();
        QTRY_COMPARE(firstTitles(), (QStringList {"Lunch", "Review"}));
        QQuickView &window = f.showSettings();

        QQuickItem *row = in(window, "calendar Projects");
        QVERIFY(row);
        QTest::mouseClick(&window, Qt::LeftButton, {}, titleOf(row)); // the row, not its switch
        QTRY_COMPARE(firstTitles(), QStringList {"Lunch"});
        QVERIFY(!inside(window, "calendar Projects", "switch")->property("checked").toBool());

        click(window, inside(window, "calendar Projects", "switch")); // its switch: shown again
        QTRY_COMPARE(firstTitles(), (QStringList {"Lunch", "Review"}));
        QVERIFY(inside(window, "calendar Projects", "switch")->property("checked").toBool());
        QVERIFY(f.settings->hiddenCalendarIds().isEmpty());

        // By keyboard: the switch has it after Tab, Space flips it and keeps it.
        QQuickItem *toggle = inside(window, "calendar Personal", "switch");
        while (window.activeFocusItem() != toggle)
            QTest::keyClick(&window, Qt::Key_Tab);
        QTest::keyClick(&window, Qt::Key_Space);
        QTRY_COMPARE(firstTitles(), QStringList {"Review"});
        QCOMPARE(window.activeFocusItem(), toggle);
        QTest::keyClick(&window, Qt::Key_Return);
        QTRY_COMPARE(firstTitles(), (QStringList {"Lunch", "Review"}));
    }

    void dimmingWeekendsChangesTheOpenPopoverAtOnce()
    {
        SettingsFixture &f = *m_fixture;
        QQuickView &popover = f.showView();
        QQuickItem *saturday = SettingsFixture::itemIn(popover, "day 28");
        QVERIFY(saturday);
        const int undimmed = saturday->property("textStyle").toInt();
        QQuickView &window = f.showSettings();
        click(window, in(window, "tab Appearance"));
        QTRY_VERIFY(in(window, "dimWeekendsRow"));
        QQuickItem *toggle = inside(window, "dimWeekendsRow", "switch");
        QVERIFY(!toggle->property("checked").toBool());
        click(window, toggle);
        QVERIFY(f.settings->dimWeekends());
        QTRY_VERIFY(saturday->property("textStyle").toInt() != undimmed);
        click(window, toggle);
        QVERIFY(!f.settings->dimWeekends());
        QTRY_COMPARE(saturday->property("textStyle").toInt(), undimmed);
    }

    void connectingZohoThroughTheSheet()
    {
        SettingsFixture &f = *m_fixture;
        f.startZohoDisconnected(
            QJsonArray {QJsonObject {{"uid", "m"}, {"calname", "Marketing"}, {"color", "#AF52DE"}}});
        f.server->addCode("1000.abc");
        QQuickView &window = f.showSettings();
        QVERIFY(!SettingsFixture::itemIn(window, "zohoHeading")); // nothing from Zoho yet
        click(window, in(window, "tab Integrations"));
        QTRY_VERIFY(in(window, "connectZoho") && in(window, "connectZoho")->isVisible());
        QCOMPARE(
            in(window, "zohoSubtitle")->property("text").toString(), QStringLiteral("Connect using a generated code"));
        QVERIFY(in(window, "clientIdNote")->isVisible());

        click(window, in(window, "connectZoho"));
        QVERIFY(sheetSettled(window, true));
        QVERIFY(in(window, "instructions")->isVisible());
        // Escape closes it; opened again it starts afresh.
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(sheetSettled(window, false));
        click(window, in(window, "connectZoho"));
        QVERIFY(sheetSettled(window, true));

        click(window, in(window, "copyScopes"));
        QCOMPARE(
            QGuiApplication::clipboard()->text(), QStringLiteral("ZohoCalendar.calendar.ALL,ZohoCalendar.event.ALL"));
        click(window, in(window, "openConsole"));
        QCOMPARE(f.setup.urls.size(), 1);
        click(window, in(window, "haveCode"));
        QTRY_VERIFY(in(window, "codeEntry")->isVisible());
        QQuickItem *connect = in(window, "connectButton");
        QVERIFY(!connect->isEnabled());
        QTRY_COMPARE(window.activeFocusItem(), in(window, "codeField"));
        for (const char character : QByteArray("1000.abc"))
            QTest::keyClick(&window, character);
        QVERIFY(connect->isEnabled());
        click(window, connect);

        // Connected: the sheet leaves by itself, the row says so.
        QVERIFY(sheetSettled(window, false));
        QVERIFY(f.auth->isConnected());
        QCOMPARE(
            in(window, "zohoSubtitle")->property("text").toString(), QStringLiteral("Connected via Zoho Self Client"));
        QVERIFY(in(window, "disconnectZoho")->isVisible());
        QVERIFY(!in(window, "connectZoho")->isVisible());
        // Zoho's calendars join the Calendars tab once the sync is done.
        click(window, in(window, "tab Calendars"));
        QTRY_VERIFY_WITH_TIMEOUT(in(window, "zohoHeading") && in(window, "calendar Marketing"), 10000);

        click(window, in(window, "tab Integrations"));
        QTRY_VERIFY(in(window, "disconnectZoho") && in(window, "disconnectZoho")->isVisible());
        click(window, in(window, "disconnectZoho"));
        QVERIFY(!f.auth->isConnected());
        QTRY_VERIFY(in(window, "connectZoho")->isVisible());
    }

    void theKeyboardReachesEveryControlAndCtrlWCloses()
    {
        SettingsFixture &f = *m_fixture;
        f.startZohoDisconnected();
        QQuickView &window = f.showSettings();
        SettingsViewModel &settings = *f.settingsViewModel;
        QStringList reached;
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(&window, Qt::Key_Tab);
            reached.append(focusedName(window));
        }
        for (const char *name :
            {"tab Calendars", "tab Integrations", "tab Appearance", "calendar Personal", "calendar Projects"})
            QVERIFY2(reached.contains(name), qPrintable(reached.join(", ")));

        // Space and Return press the focused tab.
        while (focusedName(window) != QLatin1String("tab Integrations"))
            QTest::keyClick(&window, Qt::Key_Tab);
        QTest::keyClick(&window, Qt::Key_Space);
        QCOMPARE(settings.selectedTab(), 1);
        reached.clear();
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(&window, Qt::Key_Tab);
            reached.append(focusedName(window));
        }
        for (const char *name : {"setUp", "connectZoho"})
            QVERIFY2(reached.contains(name), qPrintable(reached.join(", ")));
        while (focusedName(window) != QLatin1String("connectZoho"))
            QTest::keyClick(&window, Qt::Key_Tab);
        QTest::keyClick(&window, Qt::Key_Return);
        QVERIFY(sheetSettled(window, true));
        // In the sheet the keyboard stays in it.
        reached.clear();
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(&window, Qt::Key_Tab);
            reached.append(focusedName(window));
        }
        for (const char *name : {"closeSheet", "copyScopes", "openConsole", "haveCode"})
            QVERIFY2(reached.contains(name), qPrintable(reached.join(", ")));
        QVERIFY(!reached.contains("connectZoho"));
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(sheetSettled(window, false));

        QTest::keyClick(&window, Qt::Key_Tab);
        while (focusedName(window) != QLatin1String("tab Appearance"))
            QTest::keyClick(&window, Qt::Key_Tab);
        QTest::keyClick(&window, Qt::Key_Return);
        QCOMPARE(settings.selectedTab(), 2);
        QTest::keyClick(&window, Qt::Key_Tab);
        QCOMPARE(window.activeFocusItem(), inside(window, "dimWeekendsRow", "switch"));
        QTest::keyClick(&window, Qt::Key_Space);
        QVERIFY(f.settings->dimWeekends());

        QTest::keyClick(&window, Qt::Key_W, Qt::ControlModifier);
        QTRY_VERIFY(!window.isVisible());
    }

    void aScreenReaderFindsTheControlsByName()
    {
        SettingsFixture &f = *m_fixture;
        f.startZohoDisconnected();
        QQuickView &window = f.showSettings();
        QAccessibleInterface *top = QAccessible::queryAccessibleInterface(&window);
        QVERIFY(top);
        QStringList names;
        collectNames(top, names);
        for (const char *name :
            {"Calendars", "Integrations", "Appearance", "Shown in the Panel", "Local", "Work", "Personal", "Projects"})
            QVERIFY2(names.contains(name), qPrintable(name + QStringLiteral(" not in ") + names.join(" | ")));

        // The tabs are read as tabs, the one on show as checked.
        QList<QAccessibleInterface *> tabs;
        std::function<void(QAccessibleInterface *)> findTabs = [&](QAccessibleInterface *node) {
            if (!node)
                return;
            if (node->role() == QAccessible::PageTab && node->object() && node->object()->inherits("QQuickTabButton"))
                tabs.append(node);
            for (int i = 0; i < node->childCount(); ++i)
                findTabs(node->child(i));
        };
        findTabs(top);
        QCOMPARE(tabs.size(), 3);
        QCOMPARE(tabs[1]->text(QAccessible::Name), QStringLiteral("Integrations"));
        QVERIFY(tabs[0]->state().checked);
        QVERIFY(!tabs[1]->state().checked);

        f.settingsViewModel->setSelectedTab(1);
        QTRY_VERIFY(in(window, "integrationsTab"));
        names.clear();
        collectNames(top, names);
        for (const char *name : {"Calendar Sources", "Set up Google Calendar", "Connect Zoho Calendar", "Connected"})
            QVERIFY2(names.contains(name), qPrintable(name + QStringLiteral(" not in ") + names.join(" | ")));

        f.settingsViewModel->integrations()->openCodeSheet();
        QVERIFY(sheetSettled(window, true));
        f.settingsViewModel->integrations()->codeEntry()->showCodeStep();
        names.clear();
        collectNames(top, names);
        for (const char *name : {"Connect Zoho Calendar", "Close", "Authorization code", "Connect"})
            QVERIFY2(names.contains(name), qPrintable(name + QStringLiteral(" not in ") + names.join(" | ")));
    }

    void onboardingByMouseAndKeyboard()
    {
        SettingsFixture &f = *m_fixture;
        QQuickView &window = f.showOnboarding();
        OnboardingViewModel &onboarding = *f.onboarding;
        QQuickItem *trailing = in(window, "trailing");
        QCOMPARE(trailing->property("text").toString(), QStringLiteral("Continue"));
        QVERIFY(!in(window, "back")->isVisible());
        QCOMPARE(in(window, "dot 0")->property("color").value<QColor>(), Theme::instance()->accent());

        click(window, trailing);
        QCOMPARE(onboarding.page(), 1);
        QTRY_VERIFY(in(window, "skip")->isVisible());
        QVERIFY(in(window, "back")->isVisible());
        // The new page slides in from the right while the old one leaves.
        QQuickItem *permission = in(window, "calendarPermissionPage");
        QTRY_COMPARE(permission->x(), 0.0);
        QVERIFY(!in(window, "welcomePage")->isVisible());

        // A grant moves on by itself.
        click(window, in(window, "grantAccess"));
        QTRY_COMPARE(onboarding.page(), 2);
        QTRY_COMPARE(in(window, "howToPage")->x(), 0.0);
        QCOMPARE(trailing->property("text").toString(), QStringLiteral("Get Started"));
        QTRY_COMPARE(in(window, "dot 2")->property("color").value<QColor>(), Theme::instance()->accent());
        QVERIFY(in(window, "dot 0")->property("color").value<QColor>() != Theme::instance()->accent());

        // Back, by keyboard: the granted state without the button.
        QTRY_COMPARE(window.activeFocusItem(), trailing);
        QTest::keyClick(&window, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(window.activeFocusItem(), in(window, "back"));
        QTest::keyClick(&window, Qt::Key_Space);
        QCOMPARE(onboarding.page(), 1);
        QTRY_VERIFY(!in(window, "grantAccess")->isVisible());
        QCOMPARE(in(window, "accessTitle")->property("text").toString(), QStringLiteral("Calendar Access Granted"));
        QCOMPARE(trailing->property("text").toString(), QStringLiteral("Continue"));

        QSignalSpy completed(&onboarding, &OnboardingViewModel::completed);
        click(window, trailing);
        QTRY_COMPARE(in(window, "howToPage")->x(), 0.0);
        while (window.activeFocusItem() != trailing)
            QTest::keyClick(&window, Qt::Key_Tab);
        QTest::keyClick(&window, Qt::Key_Return);
        QCOMPARE(completed.size(), 1);
        QVERIFY(f.settings->onboardingComplete());
    }
};

BRIVANE_TEST_MAIN(SettingsUiTest)
#include "tst_settingsui.moc"
