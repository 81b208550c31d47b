// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoho/ZohoCalendarManager.h"

#include "calendar/CalendarEventManager.h"
#include "zoho/ZohoAuthManager.h"
#include "zoho/ZohoCache.h"
#include "zoho/ZohoConfig.h"
#include "zoho/ZohoHttp.h"
#include "zoho/ZohoJson.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QTimeZone>
#include <QUrlQuery>

namespace {

QNetworkRequest authorized(const QUrl &url, const QString &token)
{
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Zoho-oauthtoken " + token.toUtf8());
    return request;
}

QString isoWithMilliseconds(const QDateTime &moment)
{
    return moment.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
}

// Zoho's own compact form, in UTC.
QString compactUtc(const QDateTime &moment)
{
    return moment.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

QString compactJson(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// Every value percent-encoded, "+" included: Zoho reads a "+" in a query as
// a space, and the offsets of local times hold one.
void setQuery(QUrl &url, const QList<QPair<QString, QString>> &items)
{
    url.setQuery(QString::fromLatin1(ZohoHttp::formEncode(items)), QUrl::StrictMode);
}

// What is wrong with an answer of the Calendar API, if anything; else its JSON.
std::optional<ZohoError> problemWith(const ZohoHttp::Reply &reply, QJsonDocument &document)
{
    if (reply.failed)
        return ZohoError::other(reply.error);
    if (reply.status == 401 || reply.status == 403)
        return ZohoError::apiError(ZohoHttp::statusFailure(
            reply.status, reply.body, QCoreApplication::translate("ZohoCalendarManager", "Zoho refused access: ")));
    if (reply.status >= 300)
        return ZohoError::apiError(ZohoHttp::statusFailure(reply.status, reply.body));
    QJsonParseError parseError;
    document = QJsonDocument::fromJson(reply.body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return ZohoError::apiError(ZohoHttp::notJsonFailure());
    return std::nullopt;
}

void sortByStart(QList<ZohoEvent> &events)
{
    std::stable_sort(
        events.begin(), events.end(), [](const ZohoEvent &a, const ZohoEvent &b) { return a.startDate < b.startDate; });
}

// The first names, and how many more.
QString namesOf(const QList<ZohoCalendar> &calendars)
{
    constexpr int Shown = 5;
    QStringList names;
    for (qsizetype i = 0; i < calendars.size() && i < Shown; ++i)
        names.append(calendars[i].name);
    QString text = names.join(QStringLiteral(", "));
    if (calendars.size() > Shown)
        text += QStringLiteral(" and %1 more").arg(calendars.size() - Shown);
    return text;
}

} // namespace

using ZohoJson::calendarFrom;
using ZohoJson::eventFrom;
using ZohoJson::objectList;

ZohoCalendarManager::ZohoCalendarManager(ZohoAuthManager &auth, QNetworkAccessManager &network, const Clock &clock,
    std::function<QUrl()> calendarUrl, QObject *parent)
    : QObject(parent)
    , m_auth(auth)
    , m_network(network)
    , m_clock(clock)
    , m_calendarUrl(std::move(calendarUrl))
    , m_timeoutMs(ZohoHttp::DefaultTimeoutMs)
{
    connect(&m_auth, &ZohoAuthManager::zohoConnected, this, [this] {
        if (m_automaticSync)
            sync();
    });
    if (m_auth.isConnected()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_automaticSync)
                    sync();
            },
            Qt::QueuedConnection);
    }
    m_refreshTimer.setInterval(SyncIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] { sync(); });
    m_refreshTimer.start();
}

ZohoCalendarManager::~ZohoCalendarManager() = default;

void ZohoCalendarManager::useCache(std::unique_ptr<ZohoCache> cache, bool writes)
{
    m_cache = std::move(cache);
    m_writesCache = writes;
    if (!m_cache)
        return;
    connect(&m_auth, &ZohoAuthManager::isConnectedChanged, this, [this] {
        if (!m_auth.isConnected() && m_cache)
            m_cache->remove();
    });
    if (!m_auth.isConnected())
        return;
    if (const std::optional<ZohoCache::Snapshot> kept = m_cache->read(m_clock.timeZone()))
        restore(kept->calendars, kept->events, kept->synced);
}

void ZohoCalendarManager::restore(
    const QList<ZohoCalendar> &calendars, const QList<ZohoEvent> &events, const QDateTime &synced)
{
    if (m_lastSynced.isValid() && !m_fromCache)
        return; // a sync's lists are newer
    m_fromCache = true;
    m_lastSynced = synced;
    m_calendars = calendars;
    const QDateTime todayEnd = endOfDay(m_clock.now());
    m_todayEvents.clear();
    m_upcomingEvents.clear();
    for (const ZohoEvent &event : events)
        (todayEnd < event.startDate ? m_upcomingEvents : m_todayEvents).append(event);
    sortByStart(m_todayEvents);
    sortByStart(m_upcomingEvents);
    emit calendarsChanged();
    emit todayEventsChanged();
    emit upcomingEventsChanged();
}

void ZohoCalendarManager::stopAutomaticSync()
{
    m_automaticSync = false;
    m_refreshTimer.stop();
}

void ZohoCalendarManager::setSyncing(bool syncing)
{
    m_isSyncing = syncing;
    emit isSyncingChanged();
}

void ZohoCalendarManager::setLastError(const QString &error)
{
    m_lastError = error;
    emit lastErrorChanged();
}

void ZohoCalendarManager::setLastWarning(const QString &warning)
{
    m_lastWarning = warning;
    emit lastWarningChanged();
}

void ZohoCalendarManager::sync(std::function<void()> done)
{
    if (done)
        m_waitingForNextRun.push_back(std::move(done));
    if (m_running) {
        m_runAgain = true; // one more run after this one, never two at once
        return;
    }
    runSync();
}

void ZohoCalendarManager::runSync()
{
    m_waitingForThisRun = std::exchange(m_waitingForNextRun, {});
    m_runAgain = false;
    if (!m_auth.isConnected()) {
        finishSync(std::nullopt);
        return;
    }
    m_running = true;
    setSyncing(true);
    setLastError({});
    setLastWarning({});
    fetchCalendars([this](const std::optional<ZohoError> &error) {
        if (error)
            return finishSync(error);
        fetchEvents([this](const std::optional<ZohoError> &eventsError, const EventLists &lists) {
            if (eventsError)
                return finishSync(eventsError);
            m_todayEvents = lists.today;
            emit todayEventsChanged();
            m_upcomingEvents = lists.upcoming;
            emit upcomingEventsChanged();
            const bool whole = lists.failures.isEmpty();
            if (whole) {
                m_lastSynced = m_clock.now();
                m_fromCache = false;
            }
            const QStringList warnings = m_calendarWarnings + lists.warnings;
            if (!warnings.isEmpty())
                setLastWarning(warnings.join(QStringLiteral("; ")));
            if (!whole)
                return finishSync(ZohoError::other(lists.failures.join(QStringLiteral("; "))));
            if (m_cache && m_writesCache)
                m_cache->write({m_calendars, m_todayEvents + m_upcomingEvents, m_lastSynced.toUTC()});
            emit synced();
            finishSync(std::nullopt);
        });
    });
}

void ZohoCalendarManager::finishSync(const std::optional<ZohoError> &error)
{
    if (m_running) {
        if (error)
            setLastError(error->description());
        setSyncing(false);
    }
    m_running = false;
    const std::vector<std::function<void()>> waiters = std::exchange(m_waitingForThisRun, {});
    for (const auto &waiter : waiters)
        waiter();
    if (m_runAgain || !m_waitingForNextRun.empty())
        QMetaObject::invokeMethod(this, &ZohoCalendarManager::runSync, Qt::QueuedConnection);
}

void ZohoCalendarManager::sendAuthorized(std::shared_ptr<Credentials> credentials,
    std::function<QNetworkRequest(const QString &token)> build, const QByteArray &method, const QByteArray &body,
    ReplyCallback done)
{
    ZohoHttp::send(m_network, build(credentials->token), method, body, m_timeoutMs, this,
        [this, credentials, build, method, body, done](const ZohoHttp::Reply &reply) {
            if (reply.failed || reply.status != 401 || credentials->renewed)
                return done(reply, std::nullopt);
            // The token was refused before its time (revoked, or the clocks
            // differ): one new token, one more try.
            credentials->renewed = true;
            m_auth.renewAccessToken(credentials->token,
                [this, credentials, build, method, body, done](const ZohoAuthManager::TokenResult &token) {
                    if (!token.ok())
                        return done({}, token.error);
                    credentials->token = token.token;
                    ZohoHttp::send(m_network, build(token.token), method, body, m_timeoutMs, this,
                        [done](const ZohoHttp::Reply &retried) { done(retried, std::nullopt); });
                });
        });
}

void ZohoCalendarManager::fetchCalendars(std::function<void(const std::optional<ZohoError> &)> done)
{
    m_auth.validAccessToken([this, done](const ZohoAuthManager::TokenResult &token) {
        if (!token.ok())
            return done(token.error);
        const QUrl base = m_calendarUrl();
        if (const QString refusal = ZohoConfig::refusalReason(base); !refusal.isEmpty())
            return done(ZohoError::apiError(refusal));
        const QUrl url = ZohoConfig::endpoint(base, QStringLiteral("/api/v1/calendars"));
        sendAuthorized(
            std::make_shared<Credentials>(Credentials {token.token}),
            [url](const QString &accessToken) { return authorized(url, accessToken); }, "GET", {},
            [this, done](const ZohoHttp::Reply &reply, const std::optional<ZohoError> &tokenError) {
                if (tokenError)
                    return done(tokenError);
                QJsonDocument document;
                if (const std::optional<ZohoError> problem = problemWith(reply, document))
                    return done(problem);
                const std::optional<QJsonArray> list = objectList(document.object(), QStringLiteral("calendars"));
                if (!document.isObject() || !list)
                    return done(ZohoError::apiError(
                        QCoreApplication::translate("ZohoCalendarManager", "Invalid calendars response")));
                QList<ZohoCalendar> calendars;
                for (const QJsonValue &value : *list) {
                    if (std::optional<ZohoCalendar> calendar = calendarFrom(value.toObject()))
                        calendars.append(*calendar);
                }
                m_calendarWarnings.clear();
                if (calendars.size() > MaxCalendars) {
                    m_calendarWarnings.append(QCoreApplication::translate(
                        "ZohoCalendarManager", "Only the first %1 of %2 Zoho calendars are read; left out: %3")
                                                  .arg(MaxCalendars)
                                                  .arg(calendars.size())
                                                  .arg(namesOf(calendars.mid(MaxCalendars))));
                    calendars.resize(MaxCalendars);
                }
                m_calendars = calendars;
                emit calendarsChanged();
                done(std::nullopt);
            });
    });
}

QUrl ZohoCalendarManager::calendarEventsUrl(const QString &calendarId) const
{
    // The id is one path segment: "/", "?" or "#" inside it must not change
    // which resource is asked for.
    const QString segment = QString::fromLatin1(QUrl::toPercentEncoding(calendarId));
    return ZohoConfig::endpoint(
        m_calendarUrl(), QStringLiteral("/api/v1/calendars/") + segment + QStringLiteral("/events"));
}

void ZohoCalendarManager::fetchEvents(EventsCallback done)
{
    m_auth.validAccessToken([this, done](const ZohoAuthManager::TokenResult &token) {
        if (!token.ok())
            return done(token.error, {});
        fetchCalendarEvents(std::make_shared<Credentials>(Credentials {token.token}), m_calendars, m_clock.now(),
            std::make_shared<EventLists>(), done);
    });
}

// One calendar at a time, in the order Zoho listed them.
void ZohoCalendarManager::fetchCalendarEvents(std::shared_ptr<Credentials> credentials, QList<ZohoCalendar> remaining,
    const QDateTime &now, std::shared_ptr<EventLists> lists, EventsCallback done)
{
    if (remaining.isEmpty()) {
        sortByStart(lists->today);
        sortByStart(lists->upcoming);
        done(std::nullopt, *lists);
        return;
    }
    const ZohoCalendar calendar = remaining.takeFirst();
    QDateTime weekEnd = now.addDays(7);
    if (!weekEnd.isValid())
        weekEnd = now;
    QUrl url = calendarEventsUrl(calendar.id);
    // range_start and range_end, and the same range as Zoho's published API
    // asks for it.
    const QJsonObject range {{QStringLiteral("start"), compactUtc(now)}, {QStringLiteral("end"), compactUtc(weekEnd)}};
    setQuery(url,
        {{QStringLiteral("range_start"), isoWithMilliseconds(now)},
            {QStringLiteral("range_end"), isoWithMilliseconds(weekEnd)},
            {QStringLiteral("range"), compactJson(range)}});
    sendAuthorized(
        credentials, [url](const QString &token) { return authorized(url, token); }, "GET", {},
        [this, credentials, remaining, now, lists, done, calendar](
            const ZohoHttp::Reply &reply, const std::optional<ZohoError> &tokenError) {
            if (tokenError)
                return done(tokenError, {}); // no token: no calendar can be read
            // A calendar that fails adds nothing and is named in the error;
            // the others still count.
            QJsonDocument document;
            std::optional<ZohoError> problem = problemWith(reply, document);
            const std::optional<QJsonArray> events = objectList(document.object(), QStringLiteral("events"));
            if (!problem && (!document.isObject() || !events))
                problem = ZohoError::apiError(
                    QCoreApplication::translate("ZohoCalendarManager", "Invalid events response"));
            if (problem) {
                lists->failures.append(calendar.name + QStringLiteral(": ")
                    + (problem->kind() == ZohoError::Kind::Api ? problem->message() : problem->description()));
                return fetchCalendarEvents(credentials, remaining, now, lists, done);
            }
            const QDateTime todayEnd = endOfDay(now);
            int taken = 0;
            int leftOut = 0;
            for (const QJsonValue &value : *events) {
                const std::optional<ZohoEvent> event = eventFrom(value.toObject(), calendar, m_clock.timeZone());
                if (!event)
                    continue;
                if (taken == MaxEventsPerCalendar) {
                    ++leftOut;
                    continue;
                }
                ++taken;
                (todayEnd < event->startDate ? lists->upcoming : lists->today).append(*event);
            }
            if (leftOut > 0) {
                lists->warnings.append(QStringLiteral("%1: only the first %2 events are read; %3 left out")
                                           .arg(calendar.name)
                                           .arg(MaxEventsPerCalendar)
                                           .arg(leftOut));
            }
            fetchCalendarEvents(credentials, remaining, now, lists, done);
        });
}

void ZohoCalendarManager::createEvent(const QString &title, const QDateTime &start, const QDateTime &end, bool allDay,
    const QString &calendarId, CreateCallback done)
{
    m_auth.validAccessToken(
        [this, title, start, end, allDay, calendarId, done](const ZohoAuthManager::TokenResult &token) {
            if (!token.ok())
                return done(token.error);
            if (const QString refusal = ZohoConfig::refusalReason(m_calendarUrl()); !refusal.isEmpty())
                return done(ZohoError::apiError(refusal));
            const QTimeZone zone = m_clock.timeZone();
            auto format = [&](const QDateTime &moment) {
                const QDateTime local = moment.toTimeZone(zone);
                if (allDay)
                    return local.toString(QStringLiteral("yyyyMMdd"));
                const int offset = local.offsetFromUtc();
                const QString sign = offset < 0 ? QStringLiteral("-") : QStringLiteral("+");
                return local.toString(QStringLiteral("yyyyMMdd'T'HHmmss")) + sign
                    + QStringLiteral("%1%2")
                          .arg(qAbs(offset) / 3600, 2, 10, QLatin1Char('0'))
                          .arg(qAbs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
            };
            QJsonObject dateAndTime {{QStringLiteral("start"), format(start)}, {QStringLiteral("end"), format(end)},
                {QStringLiteral("timezone"), QString::fromUtf8(zone.id())}};
            QJsonObject eventData {{QStringLiteral("title"), title}};
            if (allDay) {
                dateAndTime.insert(QStringLiteral("allday"), QStringLiteral("true"));
                eventData.insert(QStringLiteral("isallday"), true); // Zoho's published form
            }
            eventData.insert(QStringLiteral("dateandtime"), dateAndTime);
            const QJsonObject body {{QStringLiteral("eventdata"), eventData}};
            // The JSON body, and the same event as Zoho's published API takes
            // it: in the query.
            QUrl url = calendarEventsUrl(calendarId);
            setQuery(url, {{QStringLiteral("eventdata"), compactJson(eventData)}});
            sendAuthorized(
                std::make_shared<Credentials>(Credentials {token.token}),
                [url](const QString &accessToken) {
                    QNetworkRequest request = authorized(url, accessToken);
                    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
                    return request;
                },
                "POST", QJsonDocument(body).toJson(QJsonDocument::Compact),
                [this, done](const ZohoHttp::Reply &reply, const std::optional<ZohoError> &tokenError) {
                    if (tokenError)
                        return done(tokenError);
                    if (reply.failed)
                        return done(ZohoError::other(reply.error));
                    if (reply.status >= 400) {
                        const QString excerpt = reply.body.isValidUtf8()
                            ? ZohoHttp::bodyExcerpt(reply.body)
                            : QCoreApplication::translate("ZohoCalendarManager", "Unknown error");
                        return done(ZohoError::apiError(QStringLiteral("HTTP %1: %2").arg(reply.status).arg(excerpt)));
                    }
                    const QJsonArray created
                        = QJsonDocument::fromJson(reply.body).object().value(QStringLiteral("events")).toArray();
                    m_lastCreatedEventId = created.at(0).toObject().value(QStringLiteral("uid")).toString();
                    sync([done] { done(std::nullopt); });
                });
        });
}
