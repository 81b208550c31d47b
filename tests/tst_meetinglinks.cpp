// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/JoinCommand.h"
#include "calendar/MeetingLinks.h"

#include "TestSupport.h"

#include <QTest>

using namespace TestSupport;

namespace {
QByteArray meeting(const char *uid, const char *title, const char *start, const char *end, const QByteArray &extra)
{
    return singleEvent(QByteArray("UID:") + uid + "\r\nSUMMARY:" + title + "\r\nDTSTART;TZID=Europe/Berlin:" + start
        + "\r\nDTEND;TZID=Europe/Berlin:" + end + "\r\n" + extra);
}

// A morning of meetings on 25 March 2026, Berlin time.
void addMorning(VdirFixture &fixture)
{
    fixture.addEvent("standup.ics",
        meeting("standup", "Standup", "20260325T093000", "20260325T101500", "LOCATION:https://zoom.us/j/111\r\n"));
    fixture.addEvent("review.ics",
        meeting("review", "Review", "20260325T101000", "20260325T110000",
            "DESCRIPTION:Notes: https://example.com/n\\nhttps://meet.google.com/abc-defg-hij\r\n"));
    fixture.addEvent("lunch.ics", meeting("lunch", "Lunch", "20260325T100500", "20260325T103000", ""));
    fixture.addEvent("offsite.ics",
        singleEvent("UID:offsite\r\nSUMMARY:Offsite\r\nDTSTART;VALUE=DATE:20260325\r\n"
                    "LOCATION:https://whereby.com/offsite\r\n"));
    fixture.addEvent("private.ics",
        meeting("private", "Private call", "20260325T100000", "20260325T103000",
            "URL:https://meet.jit.si/private-room\r\n"),
        QStringLiteral("home"));
}

QDateTime berlin(int hour, int minute)
{
    return QDateTime(QDate(2026, 3, 25), QTime(hour, minute), QTimeZone("Europe/Berlin"));
}

EventDetails details(const QString &url, const QString &location, const QString &notes)
{
    EventDetails event;
    event.url = url;
    event.location = location;
    event.notes = notes;
    return event;
}
} // namespace

class MeetingLinksTest : public QObject
{
    Q_OBJECT

private slots:
    // Descriptions as the services write their invitations: the join link
    // comes back whole, with its password and parameters, and nothing
    // around it.
    void invitationsOfEachServiceGiveTheirJoinLink_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zoom with a password")
            << "Hi there,\n\nJoin Zoom Meeting\nhttps://us02web.zoom.us/j/85012345678?pwd=aBcDeF12345.1\n\n"
               "Meeting ID: 850 1234 5678\nPasscode: 123456\nFind your local number: https://us02web.zoom.us/u/kdXyZ"
            << "https://us02web.zoom.us/j/85012345678?pwd=aBcDeF12345.1";
        QTest::newRow("zoom personal room") << "Room: https://zoom.us/my/someone." << "https://zoom.us/my/someone";
        QTest::newRow("zoom for government") << "https://agency.zoomgov.com/j/1612345678"
                                             << "https://agency.zoomgov.com/j/1612345678";
        QTest::newRow("google meet")
            << "Join with Google Meet: https://meet.google.com/abc-defg-hij\nOr dial: (US) +1 555-010-0000 PIN: 1234#"
            << "https://meet.google.com/abc-defg-hij";
        QTest::newRow("google meet with its tracking parameters")
            << "https://meet.google.com/abc-defg-hij?authuser=0&hs=122"
            << "https://meet.google.com/abc-defg-hij?authuser=0&hs=122";
        QTest::newRow("teams in angle brackets after its help links")
            << "Microsoft Teams meeting\nJoin on your computer\nhttps://aka.ms/JoinTeamsMeeting\n"
               "Click here to join the meeting<https://teams.microsoft.com/l/meetup-join/19%3ameeting_NjA4%40thread.v2/0"
               "?context=%7b%22Tid%22%3a%2272f9%22%7d>\nMeeting options<https://teams.microsoft.com/meetingOptions/"
               "?organizerId=1>"
            << "https://teams.microsoft.com/l/meetup-join/19%3ameeting_NjA4%40thread.v2/0?context=%7b%22Tid%22%3a%2272f9%22%7d";
        QTest::newRow("teams for home") << "https://teams.live.com/meet/9312345678901"
                                        << "https://teams.live.com/meet/9312345678901";
        QTest::newRow("webex meeting number link")
            << "Join meeting: https://acme.webex.com/acme/j.php?MTID=m1a2b3c4d5e6f\nHelp: https://help.webex.com/en-us/"
            << "https://acme.webex.com/acme/j.php?MTID=m1a2b3c4d5e6f";
        QTest::newRow("webex personal room") << "https://acme.webex.com/meet/someone"
                                             << "https://acme.webex.com/meet/someone";
        QTest::newRow("jitsi") << "Let's talk at https://meet.jit.si/WeeklyPlanningRoom!"
                               << "https://meet.jit.si/WeeklyPlanningRoom";
        QTest::newRow("zoho meeting") << "Join: https://meeting.zoho.eu/join?key=123456789"
                                      << "https://meeting.zoho.eu/join?key=123456789";
        QTest::newRow("gotomeeting") << "Please join from your computer.\nhttps://global.gotomeeting.com/join/123456789"
                                     << "https://global.gotomeeting.com/join/123456789";
        QTest::newRow("goto") << "(https://meet.goto.com/123456789)" << "https://meet.goto.com/123456789";
        QTest::newRow("whereby") << "https://whereby.com/team-sync," << "https://whereby.com/team-sync";
        QTest::newRow("html description with an escaped ampersand")
            << "<p>Join: <a href=\"https://us06web.zoom.us/j/81234567890?pwd=xyz&amp;from=addon\">zoom</a></p>"
            << "https://us06web.zoom.us/j/81234567890?pwd=xyz&from=addon";
        QTest::newRow("text escaped twice by its writer")
            << "Join\\nhttps://meet.google.com/abc-defg-hij\\nDial in\\, or not"
            << "https://meet.google.com/abc-defg-hij";
        QTest::newRow("wrapped by google's redirect")
            << "https://www.google.com/url?q=https://meet.google.com/abc-defg-hij&sa=D&source=calendar&usg=AOvVaw1"
            << "https://meet.google.com/abc-defg-hij";
        QTest::newRow("wrapped by outlook's safe links")
            << "https://eur01.safelinks.protection.outlook.com/?url=https%3A%2F%2Fzoom.us%2Fj%2F123456789%3Fpwd%3Dabc"
               "&data=05%7C01&reserved=0"
            << "https://zoom.us/j/123456789?pwd=abc";
        QTest::newRow("after another site's link")
            << "Agenda: https://docs.google.com/document/d/1xYz/edit\nCall: https://meet.google.com/abc-defg-hij"
            << "https://meet.google.com/abc-defg-hij";
        QTest::newRow("a link inside parentheses of its own")
            << "See https://acme.webex.com/meet/some(one) for the call"
            << "https://acme.webex.com/meet/some(one)";
        QTest::newRow("upper-case scheme") << "HTTPS://MEET.GOOGLE.COM/abc-defg-hij"
                                           << "https://meet.google.com/abc-defg-hij";
    }
    void invitationsOfEachServiceGiveTheirJoinLink()
    {
        QFETCH(QString, description);
        QFETCH(QString, expected);
        const QUrl found = MeetingLinks::find(details({}, {}, description));
        QCOMPARE(found.toString(QUrl::FullyEncoded), QUrl(expected).toString(QUrl::FullyEncoded));
    }

    // Links that look close to a meeting's but are not one, or are not safe
    // to open: none of them is offered as the meeting.
    void nearMissesAreNoMeeting_data()
    {
        QTest::addColumn<QString>("description");
        QTest::newRow("zoom's name inside another domain") << "https://zoom.us.example.net/j/85012345678";
        QTest::newRow("a domain ending in zoom's") << "https://myzoom.us/j/85012345678";
        QTest::newRow("a login in front of another host") << "https://zoom.us@example.net/j/85012345678";
        QTest::newRow("zoom's home page") << "Download Zoom: https://zoom.us/download";
        QTest::newRow("meet's name inside another domain") << "https://meet.google.com.example.org/abc-defg-hij";
        QTest::newRow("meet without a meeting code") << "https://meet.google.com/";
        QTest::newRow("teams' help link") << "https://aka.ms/JoinTeamsMeeting";
        QTest::newRow("teams' meeting options") << "https://teams.microsoft.com/meetingOptions/?organizerId=1";
        QTest::newRow("webex's help pages") << "https://help.webex.com/en-us/article/nj0bgmm";
        QTest::newRow("jitsi's front page") << "https://meet.jit.si/";
        QTest::newRow("another site") << "Slides: https://example.com/slides";
        QTest::newRow("not a web link") << "ftp://meet.google.com/abc-defg-hij zoommtg://zoom.us/join?confno=1";
        QTest::newRow("a script") << "javascript:alert(document.cookie)";
        QTest::newRow("a mail address") << "mailto:someone@zoom.us";
        QTest::newRow("no scheme") << "meet.google.com/abc-defg-hij";
        QTest::newRow("a redirect to another site") << "https://www.google.com/url?q=https://example.com/j/1&sa=D";
    }
    void nearMissesAreNoMeeting()
    {
        QFETCH(QString, description);
        QVERIFY2(MeetingLinks::find(details({}, {}, description)).isEmpty(),
            qPrintable(MeetingLinks::find(details({}, {}, description)).toString()));
    }

    // Which of an event's three places wins.
    void theUrlPropertyThenTheLocationThenTheDescription_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("expected");
        const QString zoom = QStringLiteral("https://zoom.us/j/111");
        const QString meet = QStringLiteral("https://meet.google.com/abc-defg-hij");
        const QString teams = QStringLiteral("https://teams.microsoft.com/l/meetup-join/19%3a333");
        QTest::newRow("url first") << zoom << meet << teams << zoom;
        QTest::newRow("a url that is no meeting yields to the location")
            << "https://example.com/event-page" << meet << teams << meet;
        QTest::newRow("location before the description") << QString() << meet << teams << meet;
        QTest::newRow("a service link in the location before a plain one")
            << QString() << "https://rooms.example.com/4 or " + meet << QString() << meet;
        QTest::newRow("any https link in the location")
            << QString() << "https://video.example.org/room/7" << teams << "https://video.example.org/room/7";
        QTest::newRow("but not a plain http one") << QString() << "http://video.example.org/room/7" << teams << teams;
        QTest::newRow("a room name in the location") << QString() << "Room 4.12, Main Building" << teams << teams;
        QTest::newRow("the description last") << QString() << QString() << teams << teams;
        QTest::newRow("nowhere") << "https://example.com/" << "Main Building" << "Bring snacks" << QString();
    }
    void theUrlPropertyThenTheLocationThenTheDescription()
    {
        QFETCH(QString, url);
        QFETCH(QString, location);
        QFETCH(QString, notes);
        QFETCH(QString, expected);
        QCOMPARE(MeetingLinks::find(details(url, location, notes)), QUrl(expected));
    }

    // ---- which meeting to join now

    void theMeetingToJoinIsTheOneStartingNearestToNow_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("expected");
        QTest::newRow("under way, the next too far off") << berlin(9, 40) << "Standup";
        QTest::newRow("one starting soon wins over one long under way") << berlin(10, 5) << "Review";
        QTest::newRow("fifteen minutes ahead is soon enough") << berlin(9, 55) << "Review";
        QTest::newRow("sixteen minutes ahead is not") << berlin(9, 14) << QString();
        QTest::newRow("a link-less event between them is passed over") << berlin(10, 6) << "Review";
        QTest::newRow("ended at this very minute") << berlin(11, 0) << QString();
        QTest::newRow("before everything") << berlin(7, 0) << QString();
    }
    void theMeetingToJoinIsTheOneStartingNearestToNow()
    {
        QFETCH(QDateTime, now);
        QFETCH(QString, expected);
        VdirFixture fixture(QTimeZone("Europe/Berlin"), now);
        addMorning(fixture);
        const CalendarStore &store = fixture.start();
        const QSet<QString> shown {fixture.calendarId("work")};
        const auto found = MeetingLinks::meetingToJoin(store, shown, now);
        QCOMPARE(found ? found->event.title : QString(), expected);
        if (found && expected == QLatin1String("Review"))
            QCOMPARE(found->link, QUrl("https://meet.google.com/abc-defg-hij"));
    }

    void aTieGoesToTheMeetingUnderWay()
    {
        VdirFixture fixture(QTimeZone("Europe/Berlin"), berlin(10, 0));
        fixture.addEvent("a.ics", meeting("a", "Began", "20260325T095000", "20260325T103000", "URL:https://zoom.us/j/1\r\n"));
        fixture.addEvent("b.ics", meeting("b", "Begins", "20260325T101000", "20260325T103000", "URL:https://zoom.us/j/2\r\n"));
        const CalendarStore &store = fixture.start();
        const auto found = MeetingLinks::meetingToJoin(store, {}, berlin(10, 0));
        QVERIFY(found);
        QCOMPARE(found->event.title, QStringLiteral("Began"));
    }

    // The command, with the calendars hidden in the settings left out and
    // the desktop's URL handler replaced.
    void joinOpensTheMeetingOfTheShownCalendars()
    {
        VdirFixture fixture(QTimeZone("Europe/Berlin"), berlin(10, 0));
        addMorning(fixture);
        const CalendarStore &store = fixture.start();
        QList<QUrl> opened;
        const UrlOpener opener = [&opened](const QUrl &url) {
            opened.append(url);
            return true;
        };
        auto join = [&](const QStringList &arguments, const QSet<QString> &hidden, const UrlOpener &open) {
            QString outText, errText;
            QTextStream out(&outText), err(&errText);
            const int status = runJoinCommand(arguments, out, err, store, hidden, open);
            out.flush();
            err.flush();
            return std::tuple {status, outText, errText};
        };

        // At 10:00 the private call starts now: nearest of all, when shown.
        auto [status, out, err] = join({"brivane", "--at", "2026-03-25T10:00+01:00"}, {}, opener);
        QCOMPARE(status, 0);
        QCOMPARE(out, QStringLiteral("Private call\nhttps://meet.jit.si/private-room\n"));
        QCOMPARE(opened, QList<QUrl> {QUrl("https://meet.jit.si/private-room")});

        // Hidden, it gives no meeting: the review ten minutes ahead wins.
        std::tie(status, out, err) = join({"brivane", "--at", "2026-03-25T10:00+01:00"}, {fixture.calendarId("home")}, opener);
        QCOMPARE(status, 0);
        QCOMPARE(opened.last(), QUrl("https://meet.google.com/abc-defg-hij"));

        std::tie(status, out, err) = join({"brivane", "--at", "2026-03-25T07:00+01:00"}, {}, opener);
        QCOMPARE(status, 1);
        QCOMPARE(err, QStringLiteral("No meeting to join\n"));
        QCOMPARE(opened.size(), 2);

        const UrlOpener failing = [](const QUrl &) { return false; };
        std::tie(status, out, err) = join({"brivane", "--at", "2026-03-25T10:00+01:00"}, {}, failing);
        QCOMPARE(status, 1);
        QVERIFY2(err.contains(QLatin1String("could not be opened")), qPrintable(err));

        std::tie(status, out, err) = join({"brivane", "--at", "tomorrow"}, {}, opener);
        QCOMPARE(status, 2);
        std::tie(status, out, err) = join({"brivane", "extra"}, {}, opener);
        QCOMPARE(status, 2);
        QCOMPARE(opened.size(), 2);
    }

    void linksEndWhereTheirSentenceGoesOn()
    {
        const QList<QUrl> links = MeetingLinks::linksIn(
            QStringLiteral("Go to https://a.example/x. Or (https://b.example/y), or \"https://c.example/z?a=1&b=2\"; "
                           "<https://d.example/w>\thttps://e.example/v\u00a0next"));
        QCOMPARE(links,
            (QList<QUrl>{QUrl("https://a.example/x"), QUrl("https://b.example/y"), QUrl("https://c.example/z?a=1&b=2"),
                QUrl("https://d.example/w"), QUrl("https://e.example/v")}));
    }
};

BRIVANE_TEST_MAIN(MeetingLinksTest)
#include "tst_meetinglinks.moc"
