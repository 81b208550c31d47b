// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: defaults, what is written when, and values that other
// programs or older versions may have left there.
#include "TestSupport.h"

#include "app/InstanceClient.h"
#include "settings/AppSettings.h"

#include <QStandardPaths>
#include <QtConcurrent>

class AppSettingsTest : public QObject
{
    Q_OBJECT

    QString path() const { return m_dir.path() + QStringLiteral("/brivane/brivane.conf"); }
    QVariant stored(const QString &key) const { return QSettings(path(), QSettings::IniFormat).value(key); }

private slots:
    void init() { QFile::remove(path()); }

    void firstRunHidesNothing()
    {
        AppSettings settings(path());
        QVERIFY(settings.hiddenCalendarIDs().isEmpty());
        QVERIFY(settings.hiddenZohoCalendarIDs().isEmpty());
        QVERIFY(!settings.dimWeekends());
        QVERIFY(settings.calendarFolders().isEmpty());
        QVERIFY(settings.todayExpanded());
        QVERIFY(settings.upcomingExpanded());
    }

    void sectionFlagsPersistAndBadValuesKeepTheDefault()
    {
        {
            AppSettings settings(path());
            settings.setTodayExpanded(false);
            QCOMPARE(stored("todayExpanded").toString(), QStringLiteral("false"));
        }
        AppSettings reread(path());
        QVERIFY(!reread.todayExpanded());
        QVERIFY(reread.upcomingExpanded());

        TestSupport::writeFile(path(), "[General]\ntodayExpanded=0\nupcomingExpanded=false\n");
        AppSettings odd(path());
        QVERIFY(odd.todayExpanded()); // a number is no Boolean: default
        QVERIFY(!odd.upcomingExpanded());
    }

    void everyChangeIsOnDiskAtOnce()
    {
        AppSettings settings(path());
        QSignalSpy hiddenChanged(&settings, &AppSettings::hiddenCalendarIDsChanged);
        settings.toggleCalendar(QStringLiteral("local:/a"));
        QCOMPARE(hiddenChanged.size(), 1);
        // A second reader of the file, no sync or save step in between.
        QCOMPARE(stored("hiddenCalendarIDs").toStringList(), QStringList {"local:/a"});
        settings.setDimWeekends(true);
        QCOMPARE(stored("dimWeekends").toString(), QStringLiteral("true"));
        settings.toggleZohoCalendar(QStringLiteral("zoho-1"));
        settings.toggleZohoCalendar(QStringLiteral("zoho-2"));

        AppSettings reread(path());
        QCOMPARE(reread.hiddenCalendarIDs(), QSet<QString> {"local:/a"}); // one element survives the INI format
        QCOMPARE(reread.hiddenZohoCalendarIDs(), (QSet<QString> {"zoho-1", "zoho-2"}));
        QVERIFY(reread.dimWeekends());
    }

    void togglingTwiceRestoresTheSetAndWritesTwice()
    {
        AppSettings settings(path());
        settings.setHiddenCalendarIDs({QStringLiteral("b")});
        QSignalSpy hiddenChanged(&settings, &AppSettings::hiddenCalendarIDsChanged);
        settings.toggleCalendar(QStringLiteral("a"));
        QCOMPARE(settings.hiddenCalendarIDs(), (QSet<QString> {"a", "b"}));
        settings.toggleCalendar(QStringLiteral("a"));
        QCOMPARE(settings.hiddenCalendarIDs(), QSet<QString> {"b"});
        QCOMPARE(hiddenChanged.size(), 2);
        QCOMPARE(AppSettings(path()).hiddenCalendarIDs(), QSet<QString> {"b"});
        // Emptied, the key stays.
        settings.toggleCalendar(QStringLiteral("b"));
        QVERIFY(QSettings(path(), QSettings::IniFormat).contains("hiddenCalendarIDs"));
        QVERIFY(AppSettings(path()).hiddenCalendarIDs().isEmpty());
    }

    void unusableStoredValuesReadAsDefaults_data()
    {
        QTest::addColumn<QByteArray>("iniLines");
        QTest::addColumn<bool>("dimWeekends");
        QTest::addColumn<int>("hiddenCount");
        QTest::newRow("true") << QByteArray("dimWeekends=true") << true << 0;
        QTest::newRow("number") << QByteArray("dimWeekends=1") << false << 0;
        QTest::newRow("word") << QByteArray("dimWeekends=yes") << false << 0;
        QTest::newRow("list") << QByteArray("dimWeekends=true, false") << false << 0;
        QTest::newRow("hidden as number")
            << QByteArray("hiddenCalendarIDs=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)") << false << 0;
        QTest::newRow("hidden list") << QByteArray("hiddenCalendarIDs=a, b, a") << false << 2;
    }
    void unusableStoredValuesReadAsDefaults()
    {
        QFETCH(QByteArray, iniLines);
        QFETCH(bool, dimWeekends);
        QFETCH(int, hiddenCount);
        TestSupport::writeFile(path(), "[General]\n" + iniLines + "\n");
        AppSettings settings(path());
        QCOMPARE(settings.dimWeekends(), dimWeekends);
        QCOMPARE(settings.hiddenCalendarIDs().size(), hiddenCount);
    }

    void sharedInstanceIsOneAcrossThreads()
    {
        QList<AppSettings *> seen = QtConcurrent::blockingMapped(
            QList<int> {1, 2, 3, 4, 5, 6, 7, 8}, [](int) { return &AppSettings::shared(); });
        seen.append(&AppSettings::shared());
        QCOMPARE(QSet<AppSettings *>(seen.begin(), seen.end()).size(), 1);
        QVERIFY(AppSettings::shared().filePath().endsWith("brivane/brivane.conf"));
    }

    // The launcher names the settings file in a command's context without
    // linking the settings; both must name the same file, wherever
    // XDG_CONFIG_HOME points.
    void launcherAndSettingsNameTheSameFile()
    {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        const QString elsewhere = m_dir.path() + "/elsewhere";
        // Paths are only computed here, nothing is written: test mode (which
        // ignores XDG_CONFIG_HOME) is off for the two calls alone.
        QStandardPaths::setTestModeEnabled(false);
        qputenv("XDG_CONFIG_HOME", elsewhere.toUtf8());
        const QString settingsPath = AppSettings::defaultFilePath();
        const QString clientPath = InstanceClient::settingsFilePath();
        if (wasSet)
            qputenv("XDG_CONFIG_HOME", saved);
        else
            qunsetenv("XDG_CONFIG_HOME");
        QStandardPaths::setTestModeEnabled(true);
        QCOMPARE(settingsPath, elsewhere + "/brivane/brivane.conf");
        QCOMPARE(clientPath, settingsPath);
        QCOMPARE(AppSettings::defaultFilePath(), InstanceClient::settingsFilePath());
    }

private:
    QTemporaryDir m_dir;
};

BRIVANE_TEST_MAIN(AppSettingsTest)
#include "tst_appsettings.moc"
