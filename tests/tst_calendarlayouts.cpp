// SPDX-License-Identifier: GPL-3.0-or-later
// The folder layouts calendars come in (roots of accounts, vdirsyncer's
// storages, lone calendar folders), told apart by what they hold; and the
// calendars khal's and vdirsyncer's configurations name when brivane is not
// told of any.
#include "TestSupport.h"

#include "app/AddCommand.h"
#include "app/StoreSetup.h"
#include "calendar/DesktopCalendarConfigs.h"
#include "calendar/VdirLayout.h"
#include "settings/AppSettings.h"

#include <QDirIterator>
#include <QRegularExpression>

using namespace TestSupport;
using Vdir::Kind;

namespace {
const QTimeZone Berlin("Europe/Berlin");
const QDateTime Now(QDate(2026, 3, 25), QTime(10, 0), Berlin);

QByteArray eventFile(const QByteArray &uid, const QByteArray &title)
{
    return singleEvent("UID:" + uid + "\r\nSUMMARY:" + title + "\r\nDTSTART:20260326T080000Z\r\n");
}

// A home of its own for one test: $HOME and $XDG_CONFIG_HOME point into it
// until the test ends.
class Home
{
public:
    Home()
        : m_oldHome(qgetenv("HOME"))
        , m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
        , m_oldVdirsyncer(qgetenv("VDIRSYNCER_CONFIG"))
    {
        path = QDir(m_dir.path()).canonicalPath();
        QDir().mkpath(path + "/.config");
        qputenv("HOME", QFile::encodeName(path));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path + "/.config"));
        qunsetenv("VDIRSYNCER_CONFIG");
    }
    ~Home()
    {
        qputenv("HOME", m_oldHome);
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
        if (!m_oldVdirsyncer.isEmpty())
            qputenv("VDIRSYNCER_CONFIG", m_oldVdirsyncer);
    }
    QString operator/(const QString &relative) const { return path + QLatin1Char('/') + relative; }

    QString path;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome, m_oldConfig, m_oldVdirsyncer;
};

// vdirsyncer's own example: a local filesystem storage paired with a CalDAV server.
const QByteArray VdirsyncerExample = "# vdirsyncer's configuration\n"
                                     "[general]\n"
                                     "status_path = \"~/.vdirsyncer/status/\"\n"
                                     "\n"
                                     "[pair my_calendars]\n"
                                     "a = \"my_calendars_local\"\n"
                                     "b = \"my_calendars_remote\"\n"
                                     "collections = [\"from a\", \"from b\"]\n"
                                     "metadata = [\"color\", \"displayname\"]\n"
                                     "\n"
                                     "[storage my_calendars_local]\n"
                                     "type = \"filesystem\"\n"
                                     "path = \"~/.calendars/\"\n"
                                     "fileext = \".ics\"\n"
                                     "\n"
                                     "[storage my_calendars_remote]\n"
                                     "type = \"caldav\"\n"
                                     "url = \"http://127.0.0.1:5232/\"\n"
                                     "username = \"me\"\n"
                                     "password.fetch = [\"command\", \"pass\", \"caldav\"]\n"
                                     "\n"
                                     "[storage my_contacts_local]\n"
                                     "type = \"filesystem\"\n"
                                     "path = \"~/.contacts/\"\n"
                                     "fileext = \".vcf\"\n";

// A calendar as the store shows it.
struct Shown
{
    QString id;
    QString title;
    QString account;
    QString color;
    bool writable = false;
};

// The store's local calendars below `under`, brivane's own left out, by
// folder (relative to `under`).
QHash<QString, Shown> shownBelow(const CalendarStore &store, const QString &under)
{
    QHash<QString, QString> accounts;
    for (const CalendarSource &source : store.sources())
        accounts.insert(source.identifier, source.title);
    QHash<QString, Shown> shown;
    for (const CalendarInfo &calendar : store.calendars()) {
        const QString path = calendar.identifier.mid(QStringLiteral("local:").size());
        // brivane's own calendars (in the test's home too) are not what is looked at.
        if (!path.startsWith(under + QLatin1Char('/'))
            || path.startsWith(QFileInfo(defaultCalendarRoot()).canonicalFilePath()))
            continue;
        shown.insert(path.mid(under.size() + 1),
            {calendar.identifier, calendar.title, accounts.value(calendar.sourceId), calendar.color,
                calendar.allowsModifications});
    }
    return shown;
}

// The files below `folder` whose text holds `needle`.
QStringList filesHolding(const QString &folder, const QByteArray &needle)
{
    QStringList found;
    QDirIterator it(folder, {QStringLiteral("*.ics")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (readFile(path).contains(needle))
            found.append(path);
    }
    return found;
}

Vdir::Folder folder(const QString &path, Kind kind = Kind::Detect, const QString &account = {},
    const QString &color = {}, bool readOnly = false)
{
    return {path, kind, account, color, readOnly};
}

QString writeConfig(const QString &path, const QByteArray &text)
{
    writeFile(path, text);
    return path;
}
} // namespace

class CalendarLayoutsTest : public QObject
{
    Q_OBJECT

    FixedClock m_clock {Now, Berlin};

    std::unique_ptr<CalendarStore> storeWith(
        const Home &home, const std::optional<QStringList> &calendarFolders, StoreUse use = StoreUse::AnswersOnce)
    {
        m_settings = std::make_unique<AppSettings>(home / "brivane.conf");
        if (calendarFolders) {
            QSettings ini(home / "brivane.conf", QSettings::IniFormat);
            ini.setValue("calendarFolders", *calendarFolders);
            ini.sync();
            m_settings = std::make_unique<AppSettings>(home / "brivane.conf");
        }
        std::unique_ptr<CalendarStore> store = createCalendarStore(*m_settings, m_clock, use);
        if (!store->waitUntilLoaded(10000))
            qFatal("the store did not load");
        return store;
    }

    // `brivane add TITLE --calendar NAME`: its exit code and error text.
    std::pair<int, QString> add(CalendarStore &store, const QString &title, const QString &calendar)
    {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const int code = runAddCommand({"add", title, "--start", "2026-03-27T10:00", "--calendar", calendar}, outStream,
            errStream, store, m_clock, [] { return false; });
        errStream.flush();
        return {code, err};
    }

    std::unique_ptr<AppSettings> m_settings;

private slots:
    void eachLayoutIsToldByWhatItHolds()
    {
        Home home;
        // A root of accounts, as brivane makes its own: the account's
        // `displayname` does not make it a calendar.
        writeFile(home / "root/local/displayname", "Local");
        writeFile(home / "root/local/personal/displayname", "Personal");
        writeFile(home / "root/other/cal/1.ics", eventFile("1", "In a root"));
        writeFile(home / "root/other/holidays.ics", eventFile("h", "Holiday"));
        // The same with calendars that hold nothing yet, beside a lone file
        // that does not make the account a calendar.
        QDir().mkpath(home / "bare-root/account/calendar");
        writeFile(home / "bare-root/account/displayname", "Account");
        writeFile(home / "bare-root/account/holidays.ics", eventFile("bh", "Holiday"));
        // vdirsyncer's storage: event files with random names in calendar folders.
        writeFile(home / "storage/work/5f1c0a3e-77b2-4d1e.ics", eventFile("w", "Work event"));
        writeFile(home / "storage/work/displayname", "Work");
        writeFile(home / "storage/work/color", "#00ff00");
        writeFile(home / "storage/home/a9.ics", eventFile("a", "Home event"));
        writeFile(home / "storage/.git/objects.ics", "not a calendar");
        // A storage vdirsyncer has discovered but not synced yet.
        QDir().mkpath(home / "discovered/work");
        QDir().mkpath(home / "discovered/home");
        // One calendar folder; one that has only its name so far.
        writeFile(home / "single/work/x.ics", eventFile("x", "Single"));
        writeFile(home / "named/new/displayname", "New one");
        QDir().mkpath(home / "empty");

        QCOMPARE(Vdir::detectKind(home / "root"), Kind::Root);
        QCOMPARE(Vdir::detectKind(home / "bare-root"), Kind::Root);
        QCOMPARE(Vdir::detectKind(home / "storage"), Kind::Storage);
        QCOMPARE(Vdir::detectKind(home / "discovered"), Kind::Storage);
        QCOMPARE(Vdir::detectKind(home / "single/work"), Kind::Calendar);
        QCOMPARE(Vdir::detectKind(home / "named/new"), Kind::Calendar);
        QCOMPARE(Vdir::detectKind(home / "empty"), Kind::Detect);
        // A storage's calendar is a calendar, not a storage of event files.
        QCOMPARE(Vdir::detectKind(home / "storage/work"), Kind::Calendar);

        const Vdir::Layout layout = Vdir::scan(QList<Vdir::Folder> {folder(home / "root"), folder(home / "bare-root"),
            folder(home / "storage"), folder(home / "discovered"), folder(home / "single/work"),
            folder(home / "named/new"), folder(home / "empty")});
        QHash<QString, Vdir::CalendarDir> byPath;
        for (const Vdir::CalendarDir &calendar : layout.calendars)
            byPath.insert(calendar.path.mid(home.path.size() + 1), calendar);
        QHash<QString, QString> accountOf;
        for (const Vdir::SourceDir &source : layout.sources)
            accountOf.insert(source.id, source.title);
        auto account = [&](const QString &path) { return accountOf.value(byPath.value(path).sourceId); };

        QCOMPARE(QSet<QString>(byPath.keyBegin(), byPath.keyEnd()),
            (QSet<QString> {"root/local/personal", "root/other/cal", "root/other/holidays.ics",
                "bare-root/account/calendar", "bare-root/account/holidays.ics", "storage/work", "storage/home",
                "discovered/work", "discovered/home", "single/work", "named/new"}));
        QCOMPARE(account("root/local/personal"), QStringLiteral("Local"));
        QVERIFY(byPath["root/other/holidays.ics"].singleFile); // a root keeps its lone files as calendars
        QCOMPARE(account("bare-root/account/calendar"), QStringLiteral("Account"));
        QCOMPARE(byPath["storage/work"].title, QStringLiteral("Work"));
        QCOMPARE(byPath["storage/work"].color, QStringLiteral("#00FF00"));
        QCOMPARE(account("storage/work"), QStringLiteral("storage"));
        QCOMPARE(account("storage/home"), QStringLiteral("storage"));
        QVERIFY(byPath["storage/home"].writable);
        QVERIFY(byPath["discovered/home"].writable);
        QCOMPARE(account("single/work"), QStringLiteral("single"));
        QCOMPARE(byPath["named/new"].title, QStringLiteral("New one"));
        for (const Vdir::CalendarDir &calendar : layout.calendars) {
            if (!calendar.path.contains("root/"))
                QVERIFY2(!calendar.singleFile, qPrintable(calendar.path));
        }
        QCOMPARE(layout.emptyFolders, QStringList {home / "empty"});

        // The empty folder says what it is once it holds something.
        writeFile(home / "empty/displayname", "Later");
        QCOMPARE(Vdir::detectKind(home / "empty"), Kind::Calendar);
        const Vdir::Layout later = Vdir::scan(QList<Vdir::Folder> {folder(home / "empty")});
        QCOMPARE(later.calendars.size(), 1);
        QCOMPARE(later.calendars[0].title, QStringLiteral("Later"));
    }

    void theSameFolderReachedTwiceIsOneCalendar()
    {
        Home home;
        writeFile(home / "storage/work/1.ics", eventFile("1", "One"));
        writeFile(home / "storage/home/2.ics", eventFile("2", "Two"));
        // A calendar given alone, then its storage, as khal's and
        // vdirsyncer's configurations name them: the calendar keeps what was
        // given for it and the storage's name as its account.
        const Vdir::Layout layout = Vdir::scan({folder(home / "storage/work", Kind::Calendar, {}, "#123456", true),
                                                   folder(home / "storage", Kind::Detect, "mine")},
            {{home / "storage", "mine"}});
        QCOMPARE(layout.sources.size(), 1);
        QCOMPARE(layout.sources[0].title, QStringLiteral("mine"));
        QCOMPARE(layout.calendars.size(), 2);
        QCOMPARE(layout.calendars[0].title, QStringLiteral("work"));
        QCOMPARE(layout.calendars[0].color, QStringLiteral("#123456"));
        QVERIFY(!layout.calendars[0].writable);
        QCOMPARE(layout.calendars[1].title, QStringLiteral("home"));
        QVERIFY(layout.calendars[1].color.isEmpty());
        QVERIFY(layout.calendars[1].writable);
        // A `color` file wins over a configured colour.
        writeFile(home / "storage/work/color", "#abcdef");
        QCOMPARE(Vdir::scan(QList<Vdir::Folder> {folder(home / "storage/work", Kind::Calendar, {}, "#123456")})
                     .calendars.value(0)
                     .color,
            QStringLiteral("#ABCDEF"));
    }

    void homeAndPatternsAreExpanded()
    {
        QCOMPARE(Vdir::expandHome("~", "/home/me"), QStringLiteral("/home/me"));
        QCOMPARE(Vdir::expandHome("~/.calendars/*", "/home/me"), QStringLiteral("/home/me/.calendars/*"));
        QCOMPARE(Vdir::expandHome("~other/x", "/home/me"), QStringLiteral("~other/x"));
        QCOMPARE(Vdir::expandHome("/srv/~/x", "/home/me"), QStringLiteral("/srv/~/x"));

        Home home;
        QDir().mkpath(home / "cals/work");
        QDir().mkpath(home / "cals/home");
        QDir().mkpath(home / "cals/.hidden");
        writeFile(home / "cals/file.ics", "");
        QCOMPARE(Vdir::expandPattern(home / "cals/*"), (QStringList {home / "cals/home", home / "cals/work"}));
        QCOMPARE(Vdir::expandPattern(home / "cals/w*"), QStringList {home / "cals/work"});
        QVERIFY(Vdir::expandPattern(home / "nothing/*").isEmpty());
        // No wildcard: the path as it is, there or not.
        QCOMPARE(Vdir::expandPattern(home / "missing"), QStringList {home / "missing"});
    }

    void khalColours_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("color");
        QTest::newRow("dark green") << "dark green"
                                    << "#00CD00";
        QTest::newRow("case and spaces") << "  Light   Blue "
                                         << "#5C5CFF";
        QTest::newRow("brown") << "brown"
                               << "#CDCD00";
        QTest::newRow("white") << "white"
                               << "#FFFFFF";
        QTest::newRow("hex") << "#ff8800"
                             << "#FF8800";
        QTest::newRow("hex with alpha") << "#ff8800cc"
                                        << "#FF8800";
        QTest::newRow("short hex") << "#f80"
                                   << "";
        QTest::newRow("terminal number") << "9"
                                         << "#FF0000";
        QTest::newRow("colour cube") << "33"
                                     << "#0087FF";
        QTest::newRow("grey ramp") << "244"
                                   << "#808080";
        QTest::newRow("past 255") << "256"
                                  << "";
        QTest::newRow("negative") << "-1"
                                  << "";
        QTest::newRow("auto") << "auto"
                              << "";
        QTest::newRow("unknown name") << "chartreuse"
                                      << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void khalColours()
    {
        QFETCH(QString, text);
        QFETCH(QString, color);
        QCOMPARE(DesktopCalendarConfigs::khalColor(text), color);
    }

    void khalsConfigurationNamesItsCalendars()
    {
        const DesktopCalendarConfigs::Parsed parsed
            = DesktopCalendarConfigs::parseKhal("# khal's configuration\n"
                                                "[calendars]\n"
                                                "\n"
                                                "  [[home]]\n"
                                                "    path = ~/.calendars/home/\n"
                                                "    color = dark green\n"
                                                "\n"
                                                "  [[work]]\n"
                                                "    path = \"~/.calendars/work\"   # quoted, with a comment\n"
                                                "    color = '#ff0000'\n"
                                                "    readonly = True\n"
                                                "\n"
                                                "  [[shared]]\n"
                                                "    path = ~/.calendars/shared*\n"
                                                "    type = discover\n"
                                                "    color = #00ff00\n"
                                                "\n"
                                                "  [[family]]\n"
                                                "    path = ~/.contacts/family/\n"
                                                "    type = birthdays\n"
                                                "\n"
                                                "[locale]\n"
                                                "timeformat = %H:%M\n"
                                                "[default]\n"
                                                "default_calendar = home\n",
                "/home/me");
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
        QCOMPARE(parsed.folders.size(), 3);
        QCOMPARE(parsed.folders[0].path, QStringLiteral("/home/me/.calendars/home"));
        QCOMPARE(parsed.folders[0].kind, Kind::Calendar);
        QCOMPARE(parsed.folders[0].color, QStringLiteral("#00CD00"));
        QVERIFY(!parsed.folders[0].readOnly);
        QCOMPARE(parsed.folders[1].path, QStringLiteral("/home/me/.calendars/work"));
        QCOMPARE(parsed.folders[1].color, QStringLiteral("#FF0000"));
        QVERIFY(parsed.folders[1].readOnly);
        QCOMPARE(parsed.folders[2].path, QStringLiteral("/home/me/.calendars/shared*"));
        QCOMPARE(parsed.folders[2].color, QStringLiteral("#00FF00"));
    }

    void vdirsyncersConfigurationNamesItsStorages()
    {
        const DesktopCalendarConfigs::Parsed parsed = DesktopCalendarConfigs::parseVdirsyncer(VdirsyncerExample
                + "\n"
                  "; another comment\n"
                  "[pair more]\n"
                  "a = \"archive\"\n"
                  "b = \"my_calendars_remote\"\n"
                  "collections = [\n"
                  "    \"2025\",\n"
                  "    \"2026\"\n"
                  "  ]\n"
                  "\n"
                  "[storage archive]\n"
                  "type = \"filesystem\"\n"
                  "path = \"/srv/calendars/archive\"\n"
                  "fileext = \".ics\"\n"
                  "read_only = true\n",
            "/home/me");
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
        QCOMPARE(parsed.folders.size(), 2);
        QCOMPARE(parsed.folders[0].path, QStringLiteral("/home/me/.calendars"));
        QCOMPARE(parsed.folders[0].account, QStringLiteral("my_calendars_local"));
        QCOMPARE(parsed.folders[0].kind, Kind::Detect);
        QVERIFY(!parsed.folders[0].readOnly);
        QCOMPARE(parsed.folders[1].path, QStringLiteral("/srv/calendars/archive"));
        QCOMPARE(parsed.folders[1].account, QStringLiteral("archive"));
        QVERIFY(parsed.folders[1].readOnly);
    }

    void brokenConfigurationsAreRefusedWithTheReason_data()
    {
        QTest::addColumn<bool>("khal");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("khal: heading") << true << QByteArray("[calendars]\n[[home]\npath = /x\n") << "line 2:";
        QTest::newRow("khal: unclosed quote")
            << true << QByteArray("[calendars]\n[[home]]\npath = '/x\ncolor = red\n") << "line 3:";
        QTest::newRow("khal: a line of words") << true << QByteArray("[calendars]\nthis is no setting\n") << "line 2:";
        QTest::newRow("khal: no path") << true << QByteArray("[calendars]\n[[home]]\ncolor = red\n") << "\"home\"";
        QTest::newRow("vdirsyncer: not JSON")
            << false << QByteArray("[storage a]\ntype = \"filesystem\"\npath = ~/.calendars/\n") << "line 3:";
        QTest::newRow("vdirsyncer: before a section")
            << false << QByteArray("# start\ntype = \"filesystem\"\n[storage a]\n") << "line 2:";
        QTest::newRow("vdirsyncer: heading") << false << QByteArray("[storage a\ntype = \"filesystem\"\n") << "line 1:";
        QTest::newRow("vdirsyncer: unfinished list")
            << false << QByteArray("[pair p]\ncollections = [\"a\",\n[storage a]\n") << "line 2:";
    }
    void brokenConfigurationsAreRefusedWithTheReason()
    {
        QFETCH(bool, khal);
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        const DesktopCalendarConfigs::Parsed parsed = khal ? DesktopCalendarConfigs::parseKhal(text, "/home/me")
                                                           : DesktopCalendarConfigs::parseVdirsyncer(text, "/home/me");
        QVERIFY2(parsed.error.contains(reason), qPrintable(parsed.error));
        QVERIFY(parsed.folders.isEmpty());
    }

    void configurationsAreFoundWhereTheirProgramsLook()
    {
        Home home;
        using DesktopCalendarConfigs::vdirsyncerConfigPath;
        QCOMPARE(DesktopCalendarConfigs::khalConfigPath({}, home.path), home / ".config/khal/config");
        QCOMPARE(DesktopCalendarConfigs::khalConfigPath(home / "xdg", home.path), home / "xdg/khal/config");
        QVERIFY(vdirsyncerConfigPath(home / "xdg", home.path, {}).isEmpty());
        writeFile(home / "xdg/vdirsyncer/config", "");
        QCOMPARE(vdirsyncerConfigPath(home / "xdg", home.path, {}), home / "xdg/vdirsyncer/config");
        writeFile(home / ".vdirsyncer/config", "");
        QCOMPARE(vdirsyncerConfigPath(home / "xdg", home.path, {}), home / ".vdirsyncer/config");
        QCOMPARE(vdirsyncerConfigPath(home / "xdg", home.path, "/etc/mine"), QStringLiteral("/etc/mine"));

        // A file that is not there is no problem; one that cannot be read is.
        QDir().mkpath(home / "not-a-file");
        const DesktopCalendarConfigs::Found found
            = DesktopCalendarConfigs::read(home / "absent", home / "not-a-file", home.path);
        QCOMPARE(found.problems.size(), 1);
        QVERIFY2(found.problems[0].startsWith(home / "not-a-file: "), qPrintable(found.problems[0]));
        QVERIFY(found.folders.isEmpty());
    }

    // No `calendarFolders`: khal's and vdirsyncer's configurations say where
    // the calendars are, as vdirsyncer's own example sets them up.
    void withoutSetupTheConfigurationsAreRead()
    {
        Home home;
        const QString vdirsyncerConfig = writeConfig(home / ".config/vdirsyncer/config", VdirsyncerExample);
        const QString khalConfig = writeConfig(home / ".config/khal/config",
            "[calendars]\n"
            "[[home]]\n"
            "path = ~/.calendars/home\n"
            "color = dark green\n"
            "[[work]]\n"
            "path = ~/.calendars/work\n"
            "color = light red\n"
            "[[subscribed]]\n"
            "path = ~/subscribed/*\n"
            "type = discover\n"
            "readonly = True\n");
        writeFile(home / ".calendars/work/3f9a1c0e-2b7d-4c51-9e3a.ics", eventFile("w1", "Planning"));
        writeFile(home / ".calendars/work/displayname", "Work");
        writeFile(home / ".calendars/work/color", "#112233");
        writeFile(home / ".calendars/home/a8b7.ics", eventFile("h1", "Dinner"));
        writeFile(home / ".calendars/family/c0d1.ics", eventFile("f1", "Birthday"));
        writeFile(home / "subscribed/holidays/h.ics", eventFile("s1", "Holiday"));
        const QByteArray khalBefore = readFile(khalConfig);
        const QByteArray vdirsyncerBefore = readFile(vdirsyncerConfig);

        std::unique_ptr<CalendarStore> store = storeWith(home, std::nullopt);
        const QHash<QString, Shown> shown = shownBelow(*store, home.path);
        QCOMPARE(QSet<QString>(shown.keyBegin(), shown.keyEnd()),
            (QSet<QString> {".calendars/work", ".calendars/home", ".calendars/family", "subscribed/holidays"}));
        QCOMPARE(shown[".calendars/work"].title, QStringLiteral("Work"));
        QCOMPARE(shown[".calendars/work"].color, QStringLiteral("#112233")); // its own file before khal's
        QCOMPARE(shown[".calendars/home"].color, QStringLiteral("#00CD00"));
        QVERIFY(shown[".calendars/family"].color.isEmpty()); // khal does not name it: the default
        for (const char *calendar : {".calendars/work", ".calendars/home", ".calendars/family"}) {
            QCOMPARE(shown[calendar].account, QStringLiteral("my_calendars_local"));
            QVERIFY(shown[calendar].writable);
        }
        QCOMPARE(shown["subscribed/holidays"].account, QStringLiteral("subscribed"));
        QVERIFY(!shown["subscribed/holidays"].writable);
        QCOMPARE(store->events(Now, Now.addDays(2)).size(), 4);

        for (const auto &[name, folder] :
            {std::pair {"Work", ".calendars/work"}, {"home", ".calendars/home"}, {"family", ".calendars/family"}}) {
            const QString title = QStringLiteral("Added to ") + name;
            const auto [code, err] = add(*store, title, name);
            QVERIFY2(code == 0, qPrintable(err));
            QCOMPARE(filesHolding(home / folder, "SUMMARY:" + title.toUtf8()).size(), 1);
        }
        QCOMPARE(add(*store, "Refused", "holidays").first, 1);
        QVERIFY(filesHolding(home / "subscribed", "Refused").isEmpty());
        QCOMPARE(readFile(khalConfig), khalBefore);
        QCOMPARE(readFile(vdirsyncerConfig), vdirsyncerBefore);

        // `calendarFolders` set, even to nothing, is what is shown.
        QVERIFY(shownBelow(*storeWith(home, QStringList()), home.path).isEmpty());
        QCOMPARE(shownBelow(*storeWith(home, QStringList {home / ".calendars/home"}), home.path).keys(),
            QStringList {".calendars/home"});
    }

    // A configuration that cannot be used is told once, with the file and
    // the reason, and the other is used all the same.
    void aBrokenConfigurationIsToldOnceAndSkipped()
    {
        Home home;
        writeConfig(home / ".config/vdirsyncer/config", VdirsyncerExample);
        const QString khalConfig
            = writeConfig(home / ".config/khal/config", "[calendars]\n[[home]]\npath = '~/.calendars/home\n");
        writeFile(home / ".calendars/home/1.ics", eventFile("1", "Dinner"));

        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous
            = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
                  if (type == QtWarningMsg)
                      warnings.append(message);
              });
        std::unique_ptr<CalendarStore> store = storeWith(home, std::nullopt);
        qInstallMessageHandler(previous);

        const QStringList aboutKhal = warnings.filter(khalConfig);
        QCOMPARE(aboutKhal.size(), 1);
        QVERIFY2(aboutKhal[0].contains("line 3"), qPrintable(aboutKhal[0]));
        const QHash<QString, Shown> shown = shownBelow(*store, home.path);
        QCOMPARE(shown.keys(), QStringList {".calendars/home"});
        QVERIFY(shown[".calendars/home"].color.isEmpty());
    }

    // `calendarFolders` takes each layout, `~` and khal's wildcards; a
    // storage vdirsyncer names has that name as its account.
    void calendarFoldersTakeEveryLayout()
    {
        Home home;
        writeConfig(home / ".config/vdirsyncer/config", VdirsyncerExample);
        writeFile(home / "root/account/displayname", "Account");
        writeFile(home / "root/account/personal/displayname", "Personal stuff");
        writeFile(home / ".calendars/work/0c5e.ics", eventFile("w", "Work event"));
        writeFile(home / ".calendars/work/displayname", "Work");
        // A calendar folder the user linked into the storage is read and written.
        writeFile(home / "elsewhere/shared-target/displayname", "Shared");
        QVERIFY(QFile::link(home / "elsewhere/shared-target", home / ".calendars/shared"));
        writeFile(home / "lone/garden/1.ics", eventFile("g", "Garden"));
        writeFile(home / "globbed/team/1.ics", eventFile("t", "Team"));
        writeFile(home / "globbed/club/1.ics", eventFile("c", "Club"));
        QDir().mkpath(home / "nothing-yet");

        std::unique_ptr<CalendarStore> store = storeWith(home,
            QStringList {home / "root", "~/.calendars/", home / "lone/garden", "~/globbed/*", home / "nothing-yet"});
        const QHash<QString, Shown> shown = shownBelow(*store, home.path);
        QCOMPARE(QSet<QString>(shown.keyBegin(), shown.keyEnd()),
            (QSet<QString> {"root/account/personal", ".calendars/work", "elsewhere/shared-target", "lone/garden",
                "globbed/team", "globbed/club"}));
        QCOMPARE(shown["root/account/personal"].title, QStringLiteral("Personal stuff"));
        QCOMPARE(shown["root/account/personal"].account, QStringLiteral("Account"));
        QCOMPARE(shown[".calendars/work"].account, QStringLiteral("my_calendars_local"));
        QCOMPARE(shown["elsewhere/shared-target"].account, QStringLiteral("my_calendars_local"));
        QCOMPARE(shown["lone/garden"].account, QStringLiteral("lone"));
        QCOMPARE(shown["globbed/club"].account, QStringLiteral("globbed"));
        for (const Shown &calendar : shown)
            QVERIFY2(calendar.writable, qPrintable(calendar.title));

        for (const auto &[name, folder] :
            {std::pair {"Personal stuff", "root/account/personal"}, {"Work", ".calendars/work"},
                {"Shared", "elsewhere/shared-target"}, {"garden", "lone/garden"}, {"team", "globbed/team"}}) {
            const QString title = QStringLiteral("Added to ") + name;
            const auto [code, err] = add(*store, title, name);
            QVERIFY2(code == 0, qPrintable(err));
            QCOMPARE(filesHolding(home / folder, "SUMMARY:" + title.toUtf8()).size(), 1);
        }
        QVERIFY(QFileInfo(home / ".calendars/shared").isSymLink()); // written into, not replaced
        QCOMPARE(QDir(home / "nothing-yet").entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // A storage that holds nothing at start (vdirsyncer not run yet) shows
    // its calendars once they are made.
    void calendarsMadeLaterAppear()
    {
        Home home;
        QDir().mkpath(home / ".calendars");
        std::unique_ptr<CalendarStore> store
            = storeWith(home, QStringList {home / ".calendars"}, StoreUse::FollowsChanges);
        QVERIFY(shownBelow(*store, home.path).isEmpty());

        writeFile(home / ".calendars/work/5e2a.ics", eventFile("w", "Synced"));
        QVERIFY(waitFor([&] { return store->events(Now, Now.addDays(2)).size() == 1; }, 10000));
        const QHash<QString, Shown> shown = shownBelow(*store, home.path);
        QCOMPARE(shown.keys(), QStringList {".calendars/work"});
        QCOMPARE(shown[".calendars/work"].account, QStringLiteral(".calendars"));

        writeFile(home / ".calendars/home/displayname", "Home");
        QVERIFY(waitFor(
            [&] { return shownBelow(*store, home.path).value(".calendars/home").title == QLatin1String("Home"); },
            10000));
        QCOMPARE(shownBelow(*store, home.path).size(), 2);
    }
};

BRIVANE_TEST_MAIN(CalendarLayoutsTest)
#include "tst_calendarlayouts.moc"
