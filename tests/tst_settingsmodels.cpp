// SPDX-License-Identifier: GPL-3.0-or-later
// The settings window's and the first-run window's view models without
// their QML: the Calendars tab's groups and rows, the Integrations tab's
// account detection, setup targets and Zoho sheet, the Appearance switch,
// the tabs, and the first-run pages, buttons, access answers and finish.
#define BRIVANE_TEST_APPLICATION QGuiApplication
#include "SettingsTestSupport.h"

#include "calendar/EdsAccounts.h"
#include "calendar/FixedColors.h"
#include "calendar/SafeFile.h"
#include "settings/AutostartEntry.h"

#include <QClipboard>
#include <QGuiApplication>

using namespace TestSupport;

namespace {
const QTimeZone Berlin("Europe/Berlin");
const QDateTime Now(QDate(2026, 3, 25), QTime(10, 0), Berlin);

using Row = CalendarsTabViewModel::Row;

QStringList kindsAndTitles(const CalendarsTabViewModel &tab)
{
    QStringList out;
    for (const Row &row : tab.rows()) {
        const char *kind = row.kind == CalendarsTabViewModel::GroupHeadingRow ? "heading"
            : row.kind == CalendarsTabViewModel::CalendarRow                  ? "calendar"
            : row.kind == CalendarsTabViewModel::EmptyNoteRow                 ? "empty"
            : row.kind == CalendarsTabViewModel::ZohoHeadingRow               ? "zoho heading"
                                                                              : "zoho";
        out.append(QString::fromLatin1(kind) + ": " + row.title);
    }
    return out;
}

int rowOf(const CalendarsTabViewModel &tab, const QString &title)
{
    for (int i = 0; i < tab.rows().size(); ++i) {
        if ((tab.rows()[i].kind == CalendarsTabViewModel::CalendarRow
                || tab.rows()[i].kind == CalendarsTabViewModel::ZohoCalendarRow)
            && tab.rows()[i].title == title)
            return i;
    }
    return -1;
}

CalendarSource source(const QString &title)
{
    return CalendarSource {title, title, QStringLiteral("test"), {}};
}

CalendarInfo calendarIn(const QString &sourceTitle, const QString &title)
{
    CalendarInfo calendar;
    calendar.identifier = sourceTitle + "/" + title;
    calendar.title = title;
    calendar.sourceId = sourceTitle;
    return calendar;
}

const IntegrationInfo &integration(const QString &name)
{
    for (const IntegrationInfo &info : IntegrationsTabViewModel::integrations()) {
        if (info.name == name)
            return info;
    }
    qFatal("no integration %s", qPrintable(name));
}
} // namespace

class SettingsModelsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<SettingsFixture> m_fixture;

private slots:
    void init() { m_fixture = std::make_unique<SettingsFixture>(Now, Berlin); }
    void cleanup() { m_fixture.reset(); }

    // --- Calendars tab

    void groupsByPlainTextOrderOfTheirTitles()
    {
        SettingsFixture &f = *m_fixture;
        // The store lists the accounts by folder: Work, iCloud, Google.
        f.addAccountCalendar("a", "Work", "projects", "Projects", "#FF9500");
        f.addAccountCalendar("b", "iCloud", "home", "Home");
        f.addAccountCalendar("c", "Google", "family", "Family", "#34C759");
        f.startStore();
        SettingsViewModel &settings = f.makeSettings();
        QCOMPARE(kindsAndTitles(*settings.calendars()),
            (QStringList {"heading: Google", "calendar: Family", "heading: Work", "calendar: Projects",
                "heading: iCloud", "calendar: Home"}));
        const QList<Row> &rows = settings.calendars()->rows();
        QCOMPARE(rows[1].color, QColor("#34C759"));
        QCOMPARE(rows[1].group, QStringLiteral("Google"));
        QCOMPARE(rows[5].color, FixedColors::blue()); // no colour of its own
        QVERIFY(rows[1].shown && rows[3].shown && rows[5].shown);

        // Upper case before lower case, not the locale's order.
        const QList<CalendarsTabViewModel::Group> groups = CalendarsTabViewModel::groupBySource(
            {calendarIn("iCloud", "A"), calendarIn("Other", "B"), calendarIn("apple", "C"), calendarIn("Zeta", "D")},
            {source("iCloud"), source("Other"), source("apple"), source("Zeta")});
        QStringList titles;
        for (const CalendarsTabViewModel::Group &group : groups)
            titles.append(group.title);
        QCOMPARE(titles, (QStringList {"Other", "Zeta", "apple", "iCloud"}));
    }

    void accountsWithOneTitleShareAGroupInTheStoresOrder()
    {
        SettingsFixture &f = *m_fixture;
        f.addAccountCalendar("g1", "Google", "b-work", "Work");
        f.addAccountCalendar("g1", "Google", "c-family", "Family");
        f.addAccountCalendar("g2", "Google", "a-club", "Club");
        f.startStore();
        SettingsViewModel &settings = f.makeSettings();
        QCOMPARE(kindsAndTitles(*settings.calendars()),
            (QStringList {"heading: Google", "calendar: Work", "calendar: Family", "calendar: Club"}));
    }

    void aClickAndTheSwitchBothToggleAndTwiceIsWhereItStarted()
    {
        SettingsFixture &f = *m_fixture;
        f.addAccountCalendar("a", "Work", "projects", "Projects");
        f.addAccountCalendar("a", "Work", "travel", "Travel");
        f.startStore();
        CalendarsTabViewModel &tab = *f.makeSettings().calendars();
        const QString projects = f.accountCalendarId("a", "projects");
        const int row = rowOf(tab, "Projects");
        QSignalSpy written(f.settings.get(), &AppSettings::hiddenCalendarIdsChanged);
        QSignalSpy reset(&tab, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&tab, &QAbstractItemModel::dataChanged);

        tab.toggle(row); // a click on the row
        QCOMPARE(f.settings->hiddenCalendarIds(), QSet<QString> {projects});
        QVERIFY(!tab.rows()[row].shown);
        QVERIFY(tab.rows()[rowOf(tab, "Travel")].shown);
        // Only that row is announced: the row keeps the keyboard.
        QCOMPARE(reset.size(), 0);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][0].value<QModelIndex>().row(), row);

        tab.toggle(row); // its switch
        QVERIFY(f.settings->hiddenCalendarIds().isEmpty());
        QVERIFY(tab.rows()[row].shown);
        QCOMPARE(written.size(), 2);
        // Written both times: the file holds the state from before.
        QCOMPARE(AppSettings(f.settings->filePath()).hiddenCalendarIds(), QSet<QString>());

        // Headings and out-of-range rows toggle nothing.
        tab.toggle(0);
        tab.toggle(99);
        tab.toggle(-1);
        QCOMPARE(written.size(), 2);
    }

    void noCalendarsShowsTheNoteThenZohosCalendars()
    {
        SettingsFixture &f = *m_fixture;
        f.makeEmptyRoot();
        f.startStore();
        f.connectZoho(QJsonArray {QJsonObject {{"uid", "m"}, {"calname", "Marketing"}, {"color", "#AF52DE"}},
                          QJsonObject {{"uid", "s"}, {"calname", "Sales"}, {"color", "12345"}},
                          QJsonObject {{"uid", "t"}, {"calname", "Team"}, {"color", "#3B82F6AA"}}},
            {});
        CalendarsTabViewModel &tab = *f.makeSettings().calendars();
        QCOMPARE(kindsAndTitles(tab),
            (QStringList {"empty: " + CalendarsTabViewModel::emptyText(), "zoho heading: Zoho Calendar",
                "zoho: Marketing", "zoho: Sales", "zoho: Team"}));
        QCOMPARE(CalendarsTabViewModel::emptyText(),
            QStringLiteral("No calendars found.\nGrant Calendar access to see your calendars."));
        QCOMPARE(tab.rows()[2].color, QColor("#AF52DE"));
        QCOMPARE(tab.rows()[3].color, FixedColors::orange()); // five digits
        QCOMPARE(tab.rows()[4].color, FixedColors::orange()); // eight digits

        // One hidden set for every calendar, Zoho's by the store's ids.
        tab.toggle(3);
        QCOMPARE(f.settings->hiddenCalendarIds(), QSet<QString> {"zoho:s"});
        QVERIFY(!tab.rows()[3].shown);
        QVERIFY(tab.rows()[2].shown);
        tab.toggle(3);
        QVERIFY(f.settings->hiddenCalendarIds().isEmpty());
        QVERIFY(tab.rows()[3].shown);
    }

    void noZohoSectionWithoutZohoCalendars()
    {
        SettingsFixture &f = *m_fixture;
        f.addAccountCalendar("a", "Work", "projects", "Projects");
        f.startStore();
        f.connectZoho(QJsonArray {}, {}); // connected, no calendars
        CalendarsTabViewModel &tab = *f.makeSettings().calendars();
        QCOMPARE(kindsAndTitles(tab), (QStringList {"heading: Work", "calendar: Projects"}));
        f.settingsViewModel->setZohoAuth(nullptr); // no Zoho at all
        QCOMPARE(kindsAndTitles(tab), (QStringList {"heading: Work", "calendar: Projects"}));
    }

    void aCalendarAddedWhileOpenIsThereAtTheNextDrawing()
    {
        SettingsFixture &f = *m_fixture;
        f.addAccountCalendar("a", "Work", "projects", "Projects");
        f.startStore();
        CalendarsTabViewModel &tab = *f.makeSettings().calendars();
        f.addAccountCalendar("b", "Google", "family", "Family");
        QTRY_COMPARE_WITH_TIMEOUT(kindsAndTitles(tab),
            (QStringList {"heading: Google", "calendar: Family", "heading: Work", "calendar: Projects"}), 5000);
        QDir(f.root + "/a").removeRecursively();
        QTRY_COMPARE_WITH_TIMEOUT(kindsAndTitles(tab), (QStringList {"heading: Google", "calendar: Family"}), 5000);
    }

    // --- Integrations tab

    void accountsAreDetectedByTheirSourceTitles()
    {
        const IntegrationInfo &apple = integration("Desktop Calendars");
        const IntegrationInfo &google = integration("Google Calendar");
        const IntegrationInfo &outlook = integration("Outlook Calendar");
        QVERIFY(IntegrationsTabViewModel::isConnected({source("Team EXCHANGE")}, outlook));
        QVERIFY(IntegrationsTabViewModel::isConnected({source("ExChange")}, outlook));
        QVERIFY(IntegrationsTabViewModel::isConnected({source("someone@live.com")}, outlook));
        QVERIFY(!IntegrationsTabViewModel::isConnected({source("someone@gmail.com")}, google));
        QVERIFY(IntegrationsTabViewModel::isConnected({source("Google (someone@gmail.com)")}, google));
        QVERIFY(IntegrationsTabViewModel::isConnected({source("Work"), source("iCloud")}, apple));
        QVERIFY(IntegrationsTabViewModel::isConnected({source("Local")}, apple));
        QVERIFY(!IntegrationsTabViewModel::isConnected({}, apple));
        // The account's service, where the desktop names it, tells the kind
        // whatever the account is called.
        CalendarSource work = source("Work");
        work.service = QStringLiteral("google");
        QVERIFY(IntegrationsTabViewModel::isConnected({work}, google));
        QVERIFY(!IntegrationsTabViewModel::isConnected({work}, outlook));
        QVERIFY(!IntegrationsTabViewModel::isConnected({work}, apple));
        for (const char *service : {"ews", "mapi", "microsoft365", "outlook"}) {
            work.service = QString::fromLatin1(service);
            QVERIFY2(IntegrationsTabViewModel::isConnected({work}, outlook), service);
            QVERIFY2(!IntegrationsTabViewModel::isConnected({work}, google), service);
        }
        CalendarSource zoho = source("Zoho Calendar");
        zoho.service = QStringLiteral("zoho");
        for (const IntegrationInfo &info : IntegrationsTabViewModel::integrations())
            QVERIFY2(!IntegrationsTabViewModel::isConnected({zoho}, info), qPrintable(info.name));
        QCOMPARE(EdsAccounts::serviceId("Google"), QStringLiteral("google"));
        QCOMPARE(EdsAccounts::serviceId("webdav", true), QStringLiteral("nextcloud"));
        QCOMPARE(EdsAccounts::serviceId("webdav"), QStringLiteral("caldav"));
        QCOMPARE(EdsAccounts::serviceId("local"), QString());

        // Through the tab, with the store's sources.
        SettingsFixture &f = *m_fixture;
        f.addAccountCalendar("a", "iCloud", "home", "Home");
        f.addAccountCalendar("b", "someone@gmail.com", "mail", "Mail");
        f.addAccountCalendar("c", "Microsoft Exchange", "office", "Office");
        f.startStore();
        IntegrationsTabViewModel &tab = *f.makeSettings().integrations();
        const auto text = [&tab](int row, int role) { return tab.data(tab.index(row), role).toString(); };
        QCOMPARE(tab.rowCount(), 3);
        QCOMPARE(text(0, IntegrationsTabViewModel::NameRole), QStringLiteral("Desktop Calendars"));
        QCOMPARE(text(0, IntegrationsTabViewModel::SubtitleRole), QStringLiteral("Connected on this computer"));
        QVERIFY(tab.connectedAt(0));
        QCOMPARE(
            text(1, IntegrationsTabViewModel::SubtitleRole), QStringLiteral("Add via Settings \u2192 Online Accounts"));
        QVERIFY(!tab.connectedAt(1));
        QCOMPARE(text(2, IntegrationsTabViewModel::SubtitleRole), QStringLiteral("Connected via Microsoft account"));
        QVERIFY(tab.connectedAt(2));

        // An account added later is seen when the store says so.
        f.addAccountCalendar("d", "Google", "family", "Family");
        QTRY_VERIFY_WITH_TIMEOUT(tab.connectedAt(1), 5000);
        QCOMPARE(text(1, IntegrationsTabViewModel::SubtitleRole), QStringLiteral("Connected via Google account"));
    }

    void setUpOpensWhatThisDesktopHasOrSaysItIsMissing()
    {
        SettingsFixture &f = *m_fixture;
        f.makeEmptyRoot();
        f.startStore();
        f.setup.onlineAccountsInstalled = false;
        f.setup.calendarAppInstalled = true;
        IntegrationsTabViewModel &tab = *f.makeSettings().integrations();
        const auto text = [&tab](int row) { return tab.data(tab.index(row), IntegrationsTabViewModel::SetupTextRole); };
        QCOMPARE(text(0).toString(), QStringLiteral("Set up"));
        QCOMPARE(text(1).toString(), QStringLiteral("Not installed"));
        QVERIFY(tab.data(tab.index(1), IntegrationsTabViewModel::SetupHelpRole)
                    .toString()
                    .contains(QStringLiteral("GNOME Settings or KDE System Settings")));

        tab.setUp(0);
        QCOMPARE(f.setup.calendarDays, QList<QDate> {QDate()});
        tab.setUp(1);
        QCOMPARE(f.setup.onlineAccountsOpened, 0);

        // Installed since: the press finds it and opens it.
        f.setup.onlineAccountsInstalled = true;
        tab.setUp(2);
        QCOMPARE(f.setup.onlineAccountsOpened, 1);
        QCOMPARE(text(1).toString(), QStringLiteral("Set up"));

        // Found, but it would not start: the button says so from then on.
        f.setup.onlineAccountsStart = false;
        tab.setUp(1);
        QCOMPARE(f.setup.onlineAccountsOpened, 2);
        QCOMPARE(text(1).toString(), QStringLiteral("Not installed"));
    }

    void theCodeSheetConnectsAndClosesItself()
    {
        SettingsFixture &f = *m_fixture;
        f.makeEmptyRoot();
        f.startStore();
        f.startZohoDisconnected();
        f.server->addCode("1000.good");
        IntegrationsTabViewModel &tab = *f.makeSettings().integrations();
        QVERIFY(!tab.zohoConnected());
        QCOMPARE(tab.zohoSubtitle(), QStringLiteral("Connect using a generated code"));
        QVERIFY(tab.showsClientIdNote()); // the test build has the placeholder
        QVERIFY(tab.clientIdNote().contains("README"));

        tab.openCodeSheet();
        QVERIFY(tab.showCodeSheet());
        ZohoCodeEntryViewModel *sheet = tab.codeEntry();
        QCOMPARE(sheet->step(), 0);
        QCOMPARE(sheet->steps().size(), 6);
        sheet->copyScopes();
        QCOMPARE(
            QGuiApplication::clipboard()->text(), QStringLiteral("ZohoCalendar.calendar.ALL,ZohoCalendar.event.ALL"));
        sheet->openConsole();
        QCOMPARE(f.setup.urls, QList<QUrl> {ZohoCodeEntryViewModel::consoleUrl()});
        sheet->showCodeStep();
        QCOMPARE(sheet->step(), 1);

        // Empty: Connect is off. Spaces alone: on, but nothing is sent.
        QVERIFY(!sheet->canConnect());
        QCOMPARE(sheet->connectText(), QStringLiteral("Connect"));
        sheet->setCode("   ");
        QVERIFY(sheet->canConnect());
        QSignalSpy exchanging(sheet, &ZohoCodeEntryViewModel::isExchangingChanged);
        sheet->connectZoho();
        QVERIFY(!sheet->isExchanging());
        QCOMPARE(exchanging.size(), 0);
        QVERIFY(f.server->requests().isEmpty());

        // A code Zoho refuses: the error shows, the sheet stays on the code.
        sheet->setCode("1000.wrong");
        sheet->connectZoho();
        QVERIFY(sheet->isExchanging());
        QVERIFY(!sheet->canConnect());
        QCOMPARE(sheet->connectText(), QStringLiteral("Connecting\u2026"));
        QTRY_VERIFY(!sheet->isExchanging());
        QVERIFY(sheet->error().startsWith(QStringLiteral("Token error: ")));
        QVERIFY(tab.showCodeSheet());
        QCOMPARE(sheet->step(), 1);

        // A good one, pasted with a line break: connected, and the sheet goes.
        sheet->setCode("1000.good\n");
        sheet->connectZoho();
        QTRY_VERIFY(tab.zohoConnected());
        QVERIFY(!tab.showCodeSheet());
        QVERIFY(sheet->error().isEmpty());
        QCOMPARE(tab.zohoSubtitle(), QStringLiteral("Connected via Zoho Self Client"));
        QVERIFY(!tab.showsClientIdNote()); // not beside a working connection
        tab.openCodeSheet(); // nothing to connect while connected
        QVERIFY(!tab.showCodeSheet());

        tab.disconnectZoho();
        QVERIFY(!tab.zohoConnected());
        QVERIFY(tab.showsClientIdNote());
        // A new sheet each time: step one, nothing typed.
        tab.openCodeSheet();
        QVERIFY(tab.codeEntry() != sheet);
        QCOMPARE(tab.codeEntry()->step(), 0);
        QVERIFY(tab.codeEntry()->code().isEmpty());
        tab.closeCodeSheet();
        QVERIFY(!tab.showCodeSheet());
    }

    void theStepsAreStyledAndReadAloudWithoutMarks()
    {
        QCOMPARE(ZohoCodeEntryViewModel::styledText("Click **Create** \u2014 a <code> & `a,b`\nnext"),
            QStringLiteral(
                "Click <b>Create</b> \u2014 a &lt;code&gt; &amp; <font face=\"monospace\">a,b</font><br>next"));
        QCOMPARE(ZohoCodeEntryViewModel::plainText("Enter these scopes:\n`A,B` **now**"),
            QStringLiteral("Enter these scopes: A,B now"));
        const QVariantMap third = ZohoCodeEntryViewModel(nullptr, m_fixture->setup).steps()[2].toMap();
        QCOMPARE(third.value("text").toString(),
            QStringLiteral("Enter these scopes:\n`ZohoCalendar.calendar.ALL,ZohoCalendar.event.ALL`"));
    }

    void theClientIdPlaceholderIsRecognised()
    {
        QVERIFY(IntegrationsTabViewModel::isPlaceholderClientId("YOUR_CLIENT_ID"));
        QVERIFY(IntegrationsTabViewModel::isPlaceholderClientId("YOUR_OWN"));
        QVERIFY(!IntegrationsTabViewModel::isPlaceholderClientId("1000.ABCDEF"));
        QVERIFY(!IntegrationsTabViewModel::isPlaceholderClientId(""));
    }

    // --- Appearance tab and the window

    void dimWeekendsReadsAndWritesTheSetting()
    {
        SettingsFixture &f = *m_fixture;
        f.settings->setDimWeekends(true);
        f.makeEmptyRoot();
        f.startStore();
        AppearanceTabViewModel &appearance = *f.makeSettings().appearance();
        QVERIFY(appearance.dimWeekends());
        QSignalSpy changed(&appearance, &AppearanceTabViewModel::dimWeekendsChanged);
        appearance.setDimWeekends(false);
        QCOMPARE(AppSettings(f.settings->filePath()).dimWeekends(), false);
        appearance.setDimWeekends(true);
        QCOMPARE(AppSettings(f.settings->filePath()).dimWeekends(), true);
        QCOMPARE(changed.size(), 2);
        f.settings->setDimWeekends(false); // changed elsewhere: the tab follows
        QVERIFY(!appearance.dimWeekends());

        QVERIFY(!appearance.showWeekNumbers());
        QSignalSpy weeks(&appearance, &AppearanceTabViewModel::showWeekNumbersChanged);
        appearance.setShowWeekNumbers(true);
        QVERIFY(AppSettings(f.settings->filePath()).showWeekNumbers());
        appearance.setShowWeekNumbers(true); // no change, no signal
        QCOMPARE(weeks.size(), 1);
    }

    // Reminders: the switch writes the setting; the picker's entries map to
    // minutes before the start and back, whatever the file says.
    void remindersSwitchAndDefaultReminderPicker()
    {
        SettingsFixture &f = *m_fixture;
        f.makeEmptyRoot();
        f.startStore();
        AppearanceTabViewModel &appearance = *f.makeSettings().appearance();
        QVERIFY(appearance.showReminders());
        QSignalSpy shown(&appearance, &AppearanceTabViewModel::showRemindersChanged);
        appearance.setShowReminders(false);
        appearance.setShowReminders(false);
        QCOMPARE(shown.size(), 1);
        QVERIFY(!AppSettings(f.settings->filePath()).showReminders());

        QCOMPARE(appearance.defaultReminderChoices(),
            (QStringList {"None", "At start of event", "1 minute before", "5 minutes before", "10 minutes before"}));
        QCOMPARE(appearance.defaultReminderIndex(), 0);
        QSignalSpy picked(&appearance, &AppearanceTabViewModel::defaultReminderIndexChanged);
        const QList<int> minutes {-1, 0, 1, 5, 10};
        for (int index = appearance.defaultReminderChoices().size() - 1; index >= 0; --index) {
            appearance.setDefaultReminderIndex(index);
            QCOMPARE(appearance.defaultReminderIndex(), index);
            QCOMPARE(AppSettings(f.settings->filePath()).defaultReminderMinutes(), minutes[index]);
        }
        QCOMPARE(picked.size(), 5);
        appearance.setDefaultReminderIndex(0); // no change, no signal
        appearance.setDefaultReminderIndex(7);
        appearance.setDefaultReminderIndex(-1);
        QCOMPARE(appearance.defaultReminderIndex(), 0);
        QCOMPARE(picked.size(), 5);
        // Set elsewhere, to a value the picker lacks: the nearest entry.
        f.settings->setDefaultReminderMinutes(15);
        QCOMPARE(appearance.defaultReminderIndex(), 4);
        QCOMPARE(picked.size(), 6);
        f.settings->setDefaultReminderMinutes(4);
        QCOMPARE(appearance.defaultReminderIndex(), 3);
    }

    // "Open at Login" writes the XDG autostart entry and removes it; the
    // setting follows only what could be done.
    void openAtLoginWritesAndRemovesTheAutostartEntry()
    {
        SettingsFixture &f = *m_fixture;
        f.makeEmptyRoot();
        f.startStore();
        AppearanceTabViewModel &appearance = *f.makeSettings().appearance();
        const QString entry = AutostartEntry::path();
        QVERIFY(entry.endsWith("/autostart/io.github.brivane.brivane.desktop"));
        QFile::remove(entry); // whatever an earlier test left
        QVERIFY(!appearance.launchAtLogin());
        QVERIFY(!QFileInfo::exists(entry));

        appearance.setLaunchAtLogin(true);
        QVERIFY(appearance.launchAtLogin());
        QVERIFY(AppSettings(f.settings->filePath()).launchAtLogin());
        const QByteArray written = readFile(entry);
        QVERIFY2(written.contains("\nExec=" + QFile::encodeName(QCoreApplication::applicationFilePath()) + "\n"),
            written.constData());
        QVERIFY(!written.contains("X-GNOME"));
        QCOMPARE(appearance.launchAtLoginError(), QString());

        // As it should be: left alone (the same file, not a new one).
        const SafeFile::FileStamp before = SafeFile::stampOf(entry);
        appearance.setLaunchAtLogin(true);
        QCOMPARE(SafeFile::stampOf(entry), before);

        appearance.setLaunchAtLogin(false);
        QVERIFY(!QFileInfo::exists(entry));
        QVERIFY(!AppSettings(f.settings->filePath()).launchAtLogin());
    }

    void openAtLoginNeverWritesThroughALinkAndSaysWhyItFailed()
    {
        SettingsFixture &f = *m_fixture;
        f.makeEmptyRoot();
        f.startStore();
        AppearanceTabViewModel &appearance = *f.makeSettings().appearance();
        const QString entry = AutostartEntry::path();
        const QString folder = QFileInfo(entry).path();
        QDir(folder).removeRecursively(); // whatever an earlier test left
        QVERIFY(QDir().mkpath(folder));

        // A link at the entry's name: replaced, and what it led to kept.
        const QString usersFile = QFileInfo(folder).path() + "/notes.txt";
        writeFile(usersFile, "mine\n");
        QVERIFY(QFile::link(usersFile, entry));
        appearance.setLaunchAtLogin(true);
        QVERIFY(!QFileInfo(entry).isSymLink());
        QVERIFY(readFile(entry).startsWith("[Desktop Entry]"));
        QCOMPARE(readFile(usersFile), QByteArray("mine\n"));
        appearance.setLaunchAtLogin(false);
        QCOMPARE(readFile(usersFile), QByteArray("mine\n"));

        // The autostart folder cannot be made (a file is in its place): the
        // switch stays off and the tab says why.
        QVERIFY(QDir(folder).removeRecursively());
        writeFile(folder, "not a folder\n");
        QSignalSpy switched(&appearance, &AppearanceTabViewModel::launchAtLoginChanged);
        appearance.setLaunchAtLogin(true);
        QVERIFY(!appearance.launchAtLogin());
        QVERIFY(!AppSettings(f.settings->filePath()).launchAtLogin());
        QCOMPARE(switched.size(), 1); // the switch is told to go back
        QVERIFY2(appearance.launchAtLoginError().startsWith("brivane cannot be set to open at login: "),
            qPrintable(appearance.launchAtLoginError()));
        QCOMPARE(readFile(folder), QByteArray("not a folder\n"));
        QFile::remove(folder);
    }

    // The entry's Exec line reads back as the program's path, whatever
    // characters the path holds.
    void theAutostartEntryQuotesItsProgram_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/usr/bin/brivane"
                               << "/usr/bin/brivane";
        QTest::newRow("a space") << "/home/me/my apps/brivane"
                                 << "\"/home/me/my apps/brivane\"";
        QTest::newRow("a quote and a dollar") << "/opt/a\"b$c/brivane"
                                              << "\"/opt/a\\\\\"b\\\\$c/brivane\"";
        QTest::newRow("a percent sign") << "/opt/100%/brivane"
                                        << "/opt/100%%/brivane";
        QTest::newRow("a backslash") << "/opt/a\\b/brivane"
                                     << "\"/opt/a\\\\\\\\b/brivane\"";
    }
    void theAutostartEntryQuotesItsProgram()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        const QByteArray content = AutostartEntry::contentFor(program);
        QVERIFY2(content.contains("\nExec=" + exec.toUtf8() + "\n"), content.constData());
    }

    void tabsAndTheirSelection()
    {
        SettingsFixture &f = *m_fixture;
        f.makeEmptyRoot();
        f.startStore();
        SettingsViewModel &settings = f.makeSettings();
        QCOMPARE(settings.selectedTab(), 0);
        QStringList tabs;
        for (const QVariant &tab : settings.tabs())
            tabs.append(tab.toMap().value("label").toString() + "/" + tab.toMap().value("icon").toString());
        QCOMPARE(tabs, (QStringList {"Calendars/calendar", "Integrations/link", "Appearance/paintbrush"}));
        settings.setSelectedTab(2);
        QCOMPARE(settings.selectedTab(), 2);
        settings.setSelectedTab(3);
        settings.setSelectedTab(-1);
        QCOMPARE(settings.selectedTab(), 2);
    }

    // --- First-run window

    void theButtonBarByPageAndAnswer()
    {
        SettingsFixture &f = *m_fixture;
        CalendarStore noAccess; // nothing readable: access is denied
        OnboardingViewModel onboarding(noAccess, *f.settings);
        const auto bar = [&onboarding] {
            return QStringLiteral("%1|%2|%3")
                .arg(onboarding.showsBack() ? "Back" : "-", onboarding.trailingText(), onboarding.trailingSymbol());
        };
        QCOMPARE(onboarding.page(), 0);
        QCOMPARE(bar(), QStringLiteral("-|Continue|arrow.right"));
        onboarding.pressTrailingButton();
        QCOMPARE(onboarding.page(), 1);
        QCOMPARE(bar(), QStringLiteral("Back|Skip for now|"));
        QCOMPARE(onboarding.trailingButton(), OnboardingViewModel::SkipButton);
        QCOMPARE(onboarding.accessTitle(), QStringLiteral("Allow Calendar Access"));
        QCOMPARE(onboarding.requestText(), QStringLiteral("Grant Calendar Access"));

        onboarding.askForCalendarAccess();
        QVERIFY(onboarding.isRequestingAccess());
        QCOMPARE(onboarding.requestText(), QStringLiteral("Requesting\u2026"));
        QTRY_VERIFY(onboarding.accessAnswer().has_value());
        QCOMPARE(*onboarding.accessAnswer(), false);
        QVERIFY(!onboarding.isRequestingAccess());
        QCOMPARE(onboarding.page(), 1); // denied: stays
        QCOMPARE(bar(), QStringLiteral("Back|Continue|arrow.right"));
        QCOMPARE(onboarding.accessTitle(), QStringLiteral("Allow Calendar Access"));

        onboarding.pressTrailingButton();
        QCOMPARE(bar(), QStringLiteral("Back|Get Started|checkmark"));
        onboarding.goToNextPage(); // no page beyond the last
        QCOMPARE(onboarding.page(), 2);
        onboarding.goToPreviousPage();
        onboarding.goToPreviousPage();
        onboarding.goToPreviousPage();
        QCOMPARE(onboarding.page(), 0);
        QCOMPARE(onboarding.steps().size(), 4);
        QCOMPARE(onboarding.steps()[3].toMap().value("title").toString(), QStringLiteral("Customise"));
    }

    void aGrantMovesOnByItselfAndIsKeptGoingBack()
    {
        SettingsFixture &f = *m_fixture;
        f.makeEmptyRoot();
        CalendarStore &store = f.startStore(); // readable: access is granted
        OnboardingViewModel onboarding(store, *f.settings);
        onboarding.goToNextPage();
        QSignalSpy pages(&onboarding, &OnboardingViewModel::pageChanged);
        // A second press while the first request runs sends a second request.
        onboarding.askForCalendarAccess();
        onboarding.askForCalendarAccess();
        QVERIFY(onboarding.isRequestingAccess());
        QTRY_VERIFY(!onboarding.isRequestingAccess());
        QVERIFY(onboarding.calendarGranted());
        QCOMPARE(onboarding.page(), 2);
        QCOMPARE(pages.size(), 1); // the second answer does not move on again
        onboarding.goToPreviousPage();
        QCOMPARE(onboarding.accessTitle(), QStringLiteral("Calendar Access Granted"));
        QCOMPARE(onboarding.accessBody(),
            QStringLiteral("brivane can now read and create events across all your calendars."));
        QCOMPARE(onboarding.trailingText(), QStringLiteral("Continue"));

        // An answer that comes after the user went back leaves the page alone.
        onboarding.goToPreviousPage();
        onboarding.askForCalendarAccess();
        QTRY_VERIFY(!onboarding.isRequestingAccess());
        QCOMPARE(onboarding.page(), 0);
    }

    void finishingWritesTheFlagBeforeTellingAnyoneAndOnlyOnce()
    {
        SettingsFixture &f = *m_fixture;
        CalendarStore store;
        OnboardingViewModel onboarding(store, *f.settings);
        QVERIFY(!f.settings->onboardingComplete());
        QList<bool> flagOnCompletion;
        connect(&onboarding, &OnboardingViewModel::completed, this,
            [&] { flagOnCompletion.append(AppSettings(f.settings->filePath()).onboardingComplete()); });
        onboarding.goToNextPage();
        onboarding.goToNextPage();
        onboarding.pressTrailingButton(); // "Get Started"
        onboarding.finishOnboarding(); // a second press
        QCOMPARE(flagOnCompletion, QList<bool> {true});
    }
};

BRIVANE_TEST_MAIN(SettingsModelsTest)
#include "tst_settingsmodels.moc"
