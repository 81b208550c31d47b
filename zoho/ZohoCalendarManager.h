// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/Clock.h"
#include "calendar/ZohoTypes.h"
#include "zoho/ZohoHttp.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class ZohoAuthManager;
class ZohoCache;

// The user's Zoho calendars and the coming week's Zoho events of every one
// of them (hidden ones too: which are shown is the views' choice, made at
// once), split into today and upcoming, kept fresh every five minutes; and
// event creation in a chosen Zoho calendar.
class ZohoCalendarManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isSyncing READ isSyncing NOTIFY isSyncingChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(QString lastWarning READ lastWarning NOTIFY lastWarningChanged)
public:
    static constexpr int SyncIntervalMs = 300000;
    // What one sync takes at most; the rest is left out with a warning.
    static constexpr int MaxCalendars = 100;
    static constexpr int MaxEventsPerCalendar = 2000;

    ZohoCalendarManager(ZohoAuthManager &auth, QNetworkAccessManager &network, const Clock &clock,
        std::function<QUrl()> calendarUrl, QObject *parent = nullptr);
    ~ZohoCalendarManager() override;

    const QList<ZohoEvent> &todayEvents() const { return m_todayEvents; }
    const QList<ZohoEvent> &upcomingEvents() const { return m_upcomingEvents; }
    const QList<ZohoCalendar> &calendars() const { return m_calendars; }
    const Clock &clock() const { return m_clock; }
    // When the lists were last read whole from Zoho (or the cache they were
    // restored from was written); invalid before.
    QDateTime lastSynced() const { return m_lastSynced; }
    // Whether the lists are a cache's, not yet replaced by a sync.
    bool isFromCache() const { return m_fromCache; }
    // Lists kept from an earlier sync, shown until the next sync replaces
    // them; ignored once a sync has finished.
    void restore(const QList<ZohoCalendar> &calendars, const QList<ZohoEvent> &events, const QDateTime &synced);
    // Takes the cache's lists now where an account is connected (a cache of
    // another account or format is none), keeps every whole sync's lists in
    // it when `writes` (not for a command whose clock was set elsewhere:
    // that week is not the one to keep), and empties it on disconnecting.
    void useCache(std::unique_ptr<ZohoCache> cache, bool writes);
    const ZohoCache *cache() const { return m_cache.get(); }
    bool isSyncing() const { return m_isSyncing; }
    // Empty: none. A calendar whose events could not be read is named here
    // ("Work: …"), while the other calendars' events are still listed.
    QString lastError() const { return m_lastError; }
    // What the last sync left out (calendars or events beyond the limits).
    QString lastWarning() const { return m_lastWarning; }

    // Reads calendars and events. Asked for while a sync runs, it runs once
    // more after that one; `done` is called when a run that started after the
    // call has finished.
    void sync(std::function<void()> done = {});
    // Commands sync when they choose: no sync at start, on connecting or by
    // the timer.
    void stopAutomaticSync();

    // Reads the calendar list alone (no events), as `sync` does first.
    void fetchCalendars(std::function<void(const std::optional<ZohoError> &)> done);

    using CreateCallback = std::function<void(const std::optional<ZohoError> &error)>;
    // Creates the event, then syncs; `done` gets the error, if any, and is
    // called from the event loop.
    void createEvent(const QString &title, const QDateTime &start, const QDateTime &end, bool allDay,
        const QString &calendarId, CreateCallback done);
    // The uid Zoho gave the event created last; empty when its answer named none.
    QString lastCreatedEventId() const { return m_lastCreatedEventId; }

    void setRequestTimeout(int milliseconds) { m_timeoutMs = milliseconds; }

signals:
    // A sync read calendars and events whole (not a failed or partial one).
    void synced();
    void todayEventsChanged();
    void upcomingEventsChanged();
    void calendarsChanged();
    void isSyncingChanged();
    void lastErrorChanged();
    void lastWarningChanged();

private:
    struct EventLists
    {
        QList<ZohoEvent> today;
        QList<ZohoEvent> upcoming;
        QStringList failures; // "Work: …", one per calendar that failed
        QStringList warnings;
    };
    // The access token of one step of a sync; renewed at most once.
    struct Credentials
    {
        QString token;
        bool renewed = false;
    };
    using EventsCallback = std::function<void(const std::optional<ZohoError> &, const EventLists &)>;
    // The answer, or the token error that stopped a retry after a 401.
    using ReplyCallback = std::function<void(const ZohoHttp::Reply &, const std::optional<ZohoError> &)>;

    void runSync();
    void finishSync(const std::optional<ZohoError> &error);
    void fetchEvents(EventsCallback done);
    void fetchCalendarEvents(std::shared_ptr<Credentials> credentials, QList<ZohoCalendar> remaining,
        const QDateTime &now, std::shared_ptr<EventLists> lists, EventsCallback done);
    // A Calendar API request; a 401 renews the access token and sends once more.
    void sendAuthorized(std::shared_ptr<Credentials> credentials,
        std::function<QNetworkRequest(const QString &token)> build, const QByteArray &method, const QByteArray &body,
        ReplyCallback done);
    QUrl calendarEventsUrl(const QString &calendarId) const;
    void setSyncing(bool syncing);
    void setLastError(const QString &error);
    void setLastWarning(const QString &warning);

    ZohoAuthManager &m_auth;
    QNetworkAccessManager &m_network;
    const Clock &m_clock;
    std::function<QUrl()> m_calendarUrl;
    int m_timeoutMs;

    QList<ZohoEvent> m_todayEvents;
    QList<ZohoEvent> m_upcomingEvents;
    QList<ZohoCalendar> m_calendars;
    QDateTime m_lastSynced;
    bool m_fromCache = false;
    bool m_isSyncing = false;
    QString m_lastError;
    QString m_lastWarning;
    QStringList m_calendarWarnings; // from the last calendar list
    QString m_lastCreatedEventId;
    QTimer m_refreshTimer;
    bool m_automaticSync = true;
    std::unique_ptr<ZohoCache> m_cache;
    bool m_writesCache = false;

    bool m_running = false;
    bool m_runAgain = false;
    std::vector<std::function<void()>> m_waitingForNextRun;
    std::vector<std::function<void()>> m_waitingForThisRun;
};
