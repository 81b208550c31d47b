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
        QVERIFY(settings.hiddenCalendarIds().isEmpty());
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
        QSignalSpy hiddenChanged(&settings, &AppSettings::hiddenCalendarIdsChanged);
        settings.toggleCalendar(QStringLiteral("local:/a"));
        QCOMPARE(hiddenChanged.size(), 1);
        // A second reader of the file, no sync or save step in between.
        QCOMPARE(stored("hiddenCalendarIDs").toStringList(), QStringList {"local:/a"});
        settings.setDimWeekends(true);
        QCOMPARE(stored("dimWeekends").toString(), QStringLiteral("true"));

        AppSettings reread(path());
        QCOMPARE(reread.hiddenCalendarIds(), QSet<QString> {"local:/a"}); // one element survives the INI format
        QVERIFY(reread.dimWeekends());
    }

    // Files from before keep Zoho's hidden calendars apart, by Zoho's ids:
    // read into the one set as the store's ids, the old key gone with the
    // next write of the set and not before, nothing lost on the way.
    void theOldZohoSetIsMigrated_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QSet<QString>>("hidden");
        QTest::addColumn<QVariant>("left"); // the old key after the next write of the set
        QTest::newRow("both keys") << QByteArray("[General]\nhiddenCalendarIDs=local:/a, local:/b\n"
                                                 "hiddenZohoCalendarIDs=work, home\n")
                                   << QSet<QString> {"local:/a", "local:/b", "zoho:work", "zoho:home"} << QVariant();
        QTest::newRow("one Zoho calendar")
            << QByteArray("[General]\nhiddenZohoCalendarIDs=work\n") << QSet<QString> {"zoho:work"} << QVariant();
        QTest::newRow("already in the set") << QByteArray("[General]\nhiddenCalendarIDs=zoho:work\n"
                                                          "hiddenZohoCalendarIDs=work\n")
                                            << QSet<QString> {"zoho:work"} << QVariant();
        // Ids with odd characters stay as they are, behind the prefix.
        QTest::newRow("odd ids") << QByteArray("[General]\nhiddenZohoCalendarIDs=\"a,b\", \"\", x/y?z, work\n")
                                 << QSet<QString> {"zoho:a,b", "zoho:", "zoho:x/y?z", "zoho:work"} << QVariant();
        // What is no name stays under the old key; the names beside it are carried.
        QTest::newRow("an odd entry") << QByteArray("[General]\nhiddenCalendarIDs=local:/a\n"
                                                    "hiddenZohoCalendarIDs=work, @ByteArray(\\x1)\n")
                                      << QSet<QString> {"local:/a", "zoho:work"}
                                      << QVariant(QVariantList {QByteArray("\x01")});
        QTest::newRow("no list") << QByteArray("[General]\nhiddenZohoCalendarIDs=@ByteArray(work)\n")
                                 << QSet<QString> {} << QVariant(QByteArray("work"));
    }
    void theOldZohoSetIsMigrated()
    {
        QFETCH(QByteArray, file);
        QFETCH(QSet<QString>, hidden);
        QFETCH(QVariant, left);
        TestSupport::writeFile(path(), file);
        const QVariant old = stored("hiddenZohoCalendarIDs");
        QVERIFY(old.isValid());
        {
            AppSettings settings(path());
            QCOMPARE(settings.hiddenCalendarIds(), hidden);
            // Reading alone changes nothing on disk: a crash now loses nothing.
            QCOMPARE(stored("hiddenZohoCalendarIDs"), old);
        }
        {
            AppSettings again(path());
            QCOMPARE(again.hiddenCalendarIds(), hidden);
            again.setDimWeekends(true); // another key's write leaves the old one
            QCOMPARE(stored("hiddenZohoCalendarIDs"), old);
            again.toggleCalendar(QStringLiteral("local:/new"));
            QCOMPARE(stored("hiddenZohoCalendarIDs"), left);
        }
        // The round trip: the one set has everything, with the new one.
        AppSettings reread(path());
        QSet<QString> expected = hidden;
        expected.insert(QStringLiteral("local:/new"));
        QCOMPARE(reread.hiddenCalendarIds(), expected);
        QCOMPARE(stored("hiddenZohoCalendarIDs"), left);
        // A Zoho calendar shown again stays shown: the old key does not bring it back.
        if (hidden.contains(QStringLiteral("zoho:work"))) {
            reread.toggleCalendar(QStringLiteral("zoho:work"));
            AppSettings last(path());
            QVERIFY(!last.hiddenCalendarIds().contains(QStringLiteral("zoho:work")));
            QVERIFY(last.hiddenCalendarIds().contains(QStringLiteral("local:/new")));
        }
    }

    void togglingTwiceRestoresTheSetAndWritesTwice()
    {
        AppSettings settings(path());
        settings.setHiddenCalendarIds({QStringLiteral("b")});
        QSignalSpy hiddenChanged(&settings, &AppSettings::hiddenCalendarIdsChanged);
        settings.toggleCalendar(QStringLiteral("a"));
        QCOMPARE(settings.hiddenCalendarIds(), (QSet<QString> {"a", "b"}));
        settings.toggleCalendar(QStringLiteral("a"));
        QCOMPARE(settings.hiddenCalendarIds(), QSet<QString> {"b"});
        QCOMPARE(hiddenChanged.size(), 2);
        QCOMPARE(AppSettings(path()).hiddenCalendarIds(), QSet<QString> {"b"});
        // Emptied, the key stays.
        settings.toggleCalendar(QStringLiteral("b"));
        QVERIFY(QSettings(path(), QSettings::IniFormat).contains("hiddenCalendarIDs"));
        QVERIFY(AppSettings(path()).hiddenCalendarIds().isEmpty());
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
        QCOMPARE(settings.hiddenCalendarIds().size(), hiddenCount);
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
