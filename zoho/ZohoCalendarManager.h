#pragma once

#include "calendar/Clock.h"
#include "zoho/ZohoTypes.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <optional>

class AppSettings;
class QNetworkAccessManager;
class ZohoAuthManager;

// The user's Zoho calendars and the coming week's Zoho events, split into
// today and upcoming like the local lists, kept fresh every five minutes;
// and event creation in a chosen Zoho calendar.
class ZohoCalendarManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isSyncing READ isSyncing NOTIFY isSyncingChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
public:
    static constexpr int SyncIntervalMs = 300000;

    // The application's instance (wired up by the application).
    static ZohoCalendarManager &shared();

    ZohoCalendarManager(ZohoAuthManager &auth, AppSettings &settings, QNetworkAccessManager &network,
        const Clock &clock, std::function<QUrl()> calendarUrl, QObject *parent = nullptr);

    const QList<ZohoEvent> &todayEvents() const { return m_todayEvents; }
    const QList<ZohoEvent> &upcomingEvents() const { return m_upcomingEvents; }
    const QList<ZohoCalendar> &calendars() const { return m_calendars; }
    bool isSyncing() const { return m_isSyncing; }
    QString lastError() const { return m_lastError; } // empty: none

    // Reads calendars and events. Asked for while a sync runs, it runs once
    // more after that one; `done` is called when a run that started after the
    // call has finished.
    void sync(std::function<void()> done = {});

    using CreateCallback = std::function<void(const std::optional<ZohoError> &error)>;
    // Creates the event, then syncs; `done` gets the error, if any.
    void createEvent(const QString &title, const QDateTime &start, const QDateTime &end, bool allDay,
        const QString &calendarId, CreateCallback done);

    void setRequestTimeout(int milliseconds) { m_timeoutMs = milliseconds; }

signals:
    void todayEventsChanged();
    void upcomingEventsChanged();
    void calendarsChanged();
    void isSyncingChanged();
    void lastErrorChanged();

private:
    struct EventLists
    {
        QList<ZohoEvent> today;
        QList<ZohoEvent> upcoming;
    };

    void runSync();
    void finishSync(const std::optional<ZohoError> &error);
    void fetchCalendars(std::function<void(const std::optional<ZohoError> &)> done);
    void fetchEvents(std::function<void(const std::optional<ZohoError> &, const EventLists &)> done);
    void fetchCalendarEvents(const QString &token, QList<ZohoCalendar> remaining, const QDateTime &now,
        std::shared_ptr<EventLists> lists,
        std::function<void(const std::optional<ZohoError> &, const EventLists &)> done);
    QUrl calendarEventsUrl(const QString &calendarId) const;
    void setSyncing(bool syncing);
    void setLastError(const QString &error);

    ZohoAuthManager &m_auth;
    AppSettings &m_settings;
    QNetworkAccessManager &m_network;
    const Clock &m_clock;
    std::function<QUrl()> m_calendarUrl;
    int m_timeoutMs;

    QList<ZohoEvent> m_todayEvents;
    QList<ZohoEvent> m_upcomingEvents;
    QList<ZohoCalendar> m_calendars;
    bool m_isSyncing = false;
    QString m_lastError;
    QTimer m_refreshTimer;

    bool m_running = false;
    bool m_runAgain = false;
    std::vector<std::function<void()>> m_waitingForNextRun;
    std::vector<std::function<void()>> m_waitingForThisRun;
};
