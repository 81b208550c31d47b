// SPDX-License-Identifier: GPL-3.0-or-later
// How the desktop's accounts are titled and coloured: the titles feed the
// Calendars tab's groups and the Integrations tab's detection.
#include "TestSupport.h"

#include "calendar/EdsAccounts.h"

class EdsAccountsTest : public QObject
{
    Q_OBJECT

private slots:
    void sourceTitles_data()
    {
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("onlineAccount");
        QTest::addColumn<QString>("title");
        QTest::newRow("address") << "someone@example.com"
                                 << "google" << false << "Google (someone@example.com)";
        QTest::newRow("gmail is no google") << "someone@gmail.com"
                                            << "google" << true << "Google (someone@gmail.com)";
        QTest::newRow("named already") << "My Google"
                                       << "google" << false << "My Google";
        QTest::newRow("exchange") << "work@corp.example"
                                  << "ews" << true << "Microsoft Exchange (work@corp.example)";
        QTest::newRow("exchange named") << "Exchange"
                                        << "ews" << false << "Exchange";
        QTest::newRow("outlook.com") << "me@outlook.com"
                                     << "outlook" << true << "me@outlook.com";
        QTest::newRow("microsoft 365") << "me@corp.example"
                                       << "microsoft365" << false << "Microsoft 365 (me@corp.example)";
        QTest::newRow("nextcloud account") << "me@cloud.example"
                                           << "webdav" << true << "Nextcloud (me@cloud.example)";
        QTest::newRow("caldav collection") << "me@dav.example"
                                           << "WebDAV" << false << "CalDAV (me@dav.example)";
        QTest::newRow("no service") << "Family"
                                    << "none" << false << "Family";
        QTest::newRow("unknown backend") << "Team"
                                         << "carrier-pigeon" << false << "Team";
        QTest::newRow("no name") << "  "
                                 << "yahoo" << true << "Yahoo";
    }

    void sourceTitles()
    {
        QFETCH(QString, displayName);
        QFETCH(QString, backend);
        QFETCH(bool, onlineAccount);
        QFETCH(QString, title);
        QCOMPARE(EdsAccounts::sourceTitle(displayName, backend, onlineAccount), title);
    }

    void colours()
    {
        QCOMPARE(EdsAccounts::normalizedColor("#becedd"), QStringLiteral("#BECEDD"));
        QCOMPARE(EdsAccounts::normalizedColor(" #BECEDDFF "), QStringLiteral("#BECEDD"));
        QCOMPARE(EdsAccounts::normalizedColor("rgb(61,131,197)"), QStringLiteral("#3D83C5"));
        QCOMPARE(EdsAccounts::normalizedColor("rgba(61, 131, 197, 0.5)"), QStringLiteral("#3D83C5"));
        QCOMPARE(EdsAccounts::normalizedColor("rgb(300,0,0)"), QString());
        QCOMPARE(EdsAccounts::normalizedColor("not a colour"), QString());
        QCOMPARE(EdsAccounts::normalizedColor(""), QString());
    }
};

BRIVANE_TEST_MAIN(EdsAccountsTest)
#include "tst_edsaccounts.moc"
