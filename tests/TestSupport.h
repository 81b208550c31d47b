// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarStore.h"
#include "calendar/Clock.h"
#include "calendar/LocalFolderProvider.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace TestSupport {

// Joins lines with CRLF, as iCalendar wants.
inline QByteArray ics(std::initializer_list<const char *> lines)
{
    QByteArray text;
    for (const char *line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

// A VCALENDAR around the given VEVENT lines.
inline QByteArray calendarWith(const QByteArray &body)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//tests//EN\r\n" + body + "END:VCALENDAR\r\n";
}

// A VCALENDAR holding one VEVENT made of the given lines.
inline QByteArray singleEvent(const QByteArray &lines)
{
    return calendarWith("BEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\n");
}

inline void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(content), content.size());
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the event loop until `done` holds or the time is up; says which.
template<typename Predicate> bool waitFor(Predicate done, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// The titles of a list of events (of any kind with a `title`), in order.
template<typename Events> QStringList titlesOf(const Events &events)
{
    QStringList titles;
    for (const auto &event : events)
        titles.append(event.title);
    return titles;
}

// A new event's request; notes, link and place are set by the caller.
inline NewEventRequest newEvent(
    const QString &calendarId, const QString &title, const QDateTime &start, const QDateTime &end, bool allDay = false)
{
    NewEventRequest request;
    request.calendarId = calendarId;
    request.title = title;
    request.start = start;
    request.end = end;
    request.allDay = allDay;
    return request;
}

// A vdir root in a temporary folder, with a provider over it.
class VdirFixture
{
public:
    explicit VdirFixture(const QTimeZone &zone = QTimeZone("Europe/Berlin"),
        const QDateTime &now = QDateTime(QDate(2026, 3, 25), QTime(10, 0), QTimeZone("Europe/Berlin")))
        : clock(now, zone)
    {
        root = QDir(dir.path()).canonicalPath() + QStringLiteral("/calendars");
    }

    QString calendarPath(
        const QString &calendar = QStringLiteral("work"), const QString &source = QStringLiteral("account")) const
    {
        return root + QLatin1Char('/') + source + QLatin1Char('/') + calendar;
    }

    void addEvent(const QString &fileName, const QByteArray &content, const QString &calendar = QStringLiteral("work"))
    {
        writeFile(calendarPath(calendar) + QLatin1Char('/') + fileName, content);
    }

    // Starts a store over the root and waits for the first load.
    CalendarStore &start()
    {
        store = std::make_unique<CalendarStore>();
        provider = new LocalFolderProvider(root, {}, clock);
        store->addProvider(provider);
        provider->start();
        if (!store->waitUntilLoaded(10000))
            qFatal("the store did not load");
        return *store;
    }

    // A second store over the same root, as after a restart.
    std::unique_ptr<VdirFixture> reopened() const
    {
        auto again = std::make_unique<VdirFixture>(clock.timeZone(), clock.now());
        again->root = root;
        again->start();
        return again;
    }

    QString calendarId(const QString &calendar = QStringLiteral("work")) const
    {
        return QStringLiteral("local:") + calendarPath(calendar);
    }

    QList<CalendarEvent> eventsOn(QDate first, QDate lastExclusive) const
    {
        const QTimeZone zone = clock.timeZone();
        return store->events(QDateTime(first, QTime(0, 0), zone), QDateTime(lastExclusive, QTime(0, 0), zone));
    }

    QTemporaryDir dir;
    QString root;
    FixedClock clock;
    std::unique_ptr<CalendarStore> store;
    LocalFolderProvider *provider = nullptr;
};

// Whether this process runs on a session bus that a test script started for
// it: the script names that bus in BRIVANE_PRIVATE_BUS. A flag alone would
// not do; it could be left over in a desktop session's environment while
// the bus in use is the user's own.
inline bool onPrivateBus()
{
    const QByteArray ours = qgetenv("BRIVANE_PRIVATE_BUS");
    return !ours.isEmpty() && ours == qgetenv("DBUS_SESSION_BUS_ADDRESS");
}

} // namespace TestSupport

// Every test binary runs with its own temporary XDG folders, so nothing
// touches the real user's files even when started by hand; and with no
// D-Bus session unless a test script started a private one for it, so no
// test can reach the real user's keyring or desktop services.
#ifndef BRIVANE_TEST_APPLICATION
#define BRIVANE_TEST_APPLICATION QCoreApplication
#endif
#define BRIVANE_TEST_MAIN(TestClass)                                                                                   \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        QTemporaryDir home;                                                                                            \
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {   \
            const QString path = home.path() + QLatin1Char('/') + QLatin1String(name);                                 \
            QDir().mkpath(path);                                                                                       \
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);                       \
            qputenv(name, QFile::encodeName(path));                                                                    \
        }                                                                                                              \
        if (!TestSupport::onPrivateBus()) {                                                                            \
            qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName("unix:path=" + home.path() + "/no-session-bus"));    \
            qunsetenv("BRIVANE_PRIVATE_BUS");                                                                          \
        }                                                                                                              \
        QStandardPaths::setTestModeEnabled(true);                                                                      \
        BRIVANE_TEST_APPLICATION app(argc, argv);                                                                      \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
