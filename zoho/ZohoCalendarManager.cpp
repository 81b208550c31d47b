#include "zoho/ZohoCalendarManager.h"

#include "calendar/CalendarEventManager.h"
#include "settings/AppSettings.h"
#include "zoho/ZohoAuthManager.h"
#include "zoho/ZohoConfig.h"
#include "zoho/ZohoHttp.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QStringDecoder>
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

// The objects of a list that must be a list of objects; nothing otherwise.
std::optional<QJsonArray> objectList(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            return std::nullopt;
    }
    return array;
}

std::optional<ZohoCalendar> calendarFrom(const QJsonObject &object)
{
    const QJsonValue uid = object.value(QStringLiteral("uid"));
    const QJsonValue name = object.value(QStringLiteral("calname"));
    if (!uid.isString() || !name.isString())
        return std::nullopt;
    ZohoCalendar calendar;
    calendar.id = uid.toString();
    calendar.name = name.toString();
    if (const QJsonValue color = object.value(QStringLiteral("color")); color.isString())
        calendar.color = color.toString();
    calendar.isDefault = object.value(QStringLiteral("isdefault")).toBool(false);
    return calendar;
}

std::optional<ZohoEvent> eventFrom(const QJsonObject &object, const ZohoCalendar &calendar, const QTimeZone &zone)
{
    const QJsonValue uid = object.value(QStringLiteral("uid"));
    const QJsonValue title = object.value(QStringLiteral("title"));
    const QJsonValue when = object.value(QStringLiteral("dateandtime"));
    if (!uid.isString() || !title.isString() || !when.isObject())
        return std::nullopt;
    const QJsonObject dateAndTime = when.toObject();
    const QJsonValue start = dateAndTime.value(QStringLiteral("start"));
    const QJsonValue end = dateAndTime.value(QStringLiteral("end"));
    if (!start.isString() || !end.isString())
        return std::nullopt;
    const std::optional<QDateTime> startDate = parseZohoDate(start.toString(), zone);
    const std::optional<QDateTime> endDate = parseZohoDate(end.toString(), zone);
    if (!startDate || !endDate)
        return std::nullopt;
    ZohoEvent event;
    event.id = uid.toString();
    event.calendarID = calendar.id;
    event.title = title.toString();
    event.startDate = *startDate;
    event.endDate = *endDate;
    event.isAllDay = dateAndTime.value(QStringLiteral("allday")).toString() == QLatin1String("true");
    event.calendarColor = hexColor(calendar.color).value_or(systemBlue());
    return event;
}

void sortByStart(QList<ZohoEvent> &events)
{
    std::stable_sort(
        events.begin(), events.end(), [](const ZohoEvent &a, const ZohoEvent &b) { return a.startDate < b.startDate; });
}

} // namespace

ZohoCalendarManager::ZohoCalendarManager(ZohoAuthManager &auth, AppSettings &settings, QNetworkAccessManager &network,
    const Clock &clock, std::function<QUrl()> calendarUrl, QObject *parent)
    : QObject(parent)
    , m_auth(auth)
    , m_settings(settings)
    , m_network(network)
    , m_clock(clock)
    , m_calendarUrl(std::move(calendarUrl))
    , m_timeoutMs(ZohoHttp::DefaultTimeoutMs)
{
    connect(&m_auth, &ZohoAuthManager::zohoConnected, this, [this] { sync(); });
    if (m_auth.isConnected())
        QMetaObject::invokeMethod(
            this, [this] { sync(); }, Qt::QueuedConnection);
    m_refreshTimer.setInterval(SyncIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] { sync(); });
    m_refreshTimer.start();
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

void ZohoCalendarManager::fetchCalendars(std::function<void(const std::optional<ZohoError> &)> done)
{
    m_auth.validAccessToken([this, done](const ZohoAuthManager::TokenResult &token) {
        if (!token.ok())
            return done(token.error);
        const QUrl base = m_calendarUrl();
        if (const QString refusal = ZohoConfig::refusalReason(base); !refusal.isEmpty())
            return done(ZohoError::apiError(refusal));
        ZohoHttp::send(m_network,
            authorized(ZohoConfig::endpoint(base, QStringLiteral("/api/v1/calendars")), token.token), "GET", {},
            m_timeoutMs, this, [this, done](const ZohoHttp::Reply &reply) {
                if (reply.failed)
                    return done(ZohoError::other(reply.error));
                QJsonParseError parseError;
                const QJsonDocument document = QJsonDocument::fromJson(reply.body, &parseError);
                if (parseError.error != QJsonParseError::NoError)
                    return done(ZohoError::other(parseError.errorString()));
                const std::optional<QJsonArray> list = objectList(document.object(), QStringLiteral("calendars"));
                if (!document.isObject() || !list)
                    return done(ZohoError::apiError(QStringLiteral("Invalid calendars response")));
                QList<ZohoCalendar> calendars;
                for (const QJsonValue &value : *list) {
                    if (std::optional<ZohoCalendar> calendar = calendarFrom(value.toObject()))
                        calendars.append(*calendar);
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

void ZohoCalendarManager::fetchEvents(std::function<void(const std::optional<ZohoError> &, const EventLists &)> done)
{
    m_auth.validAccessToken([this, done](const ZohoAuthManager::TokenResult &token) {
        if (!token.ok())
            return done(token.error, {});
        QList<ZohoCalendar> visible;
        const QSet<QString> hidden = m_settings.hiddenZohoCalendarIDs();
        for (const ZohoCalendar &calendar : m_calendars) {
            if (!hidden.contains(calendar.id))
                visible.append(calendar);
        }
        fetchCalendarEvents(token.token, visible, m_clock.now(), std::make_shared<EventLists>(), done);
    });
}

// One calendar at a time, in the order Zoho listed them.
void ZohoCalendarManager::fetchCalendarEvents(const QString &token, QList<ZohoCalendar> remaining, const QDateTime &now,
    std::shared_ptr<EventLists> lists, std::function<void(const std::optional<ZohoError> &, const EventLists &)> done)
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
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("range_start"), isoWithMilliseconds(now));
    query.addQueryItem(QStringLiteral("range_end"), isoWithMilliseconds(weekEnd));
    url.setQuery(query);
    ZohoHttp::send(m_network, authorized(url, token), "GET", {}, m_timeoutMs, this,
        [this, token, remaining, now, lists, done, calendar](const ZohoHttp::Reply &reply) {
            // A calendar that fails adds nothing; the others still count.
            const QJsonDocument document = QJsonDocument::fromJson(reply.body);
            const std::optional<QJsonArray> events = objectList(document.object(), QStringLiteral("events"));
            if (!reply.failed && document.isObject() && events) {
                const QDateTime todayEnd = endOfDay(now);
                for (const QJsonValue &value : *events) {
                    const std::optional<ZohoEvent> event = eventFrom(value.toObject(), calendar, m_clock.timeZone());
                    if (!event)
                        continue;
                    (todayEnd < event->startDate ? lists->upcoming : lists->today).append(*event);
                }
            }
            fetchCalendarEvents(token, remaining, now, lists, done);
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
            if (allDay)
                dateAndTime.insert(QStringLiteral("allday"), QStringLiteral("true"));
            const QJsonObject body {{QStringLiteral("eventdata"),
                QJsonObject {{QStringLiteral("title"), title}, {QStringLiteral("dateandtime"), dateAndTime}}}};
            QNetworkRequest request = authorized(calendarEventsUrl(calendarId), token.token);
            request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
            ZohoHttp::send(m_network, request, "POST", QJsonDocument(body).toJson(QJsonDocument::Compact), m_timeoutMs,
                this, [this, done](const ZohoHttp::Reply &reply) {
                    if (reply.failed)
                        return done(ZohoError::other(reply.error));
                    if (reply.status >= 400) {
                        QStringDecoder utf8(QStringDecoder::Utf8);
                        QString text = utf8(reply.body);
                        if (utf8.hasError())
                            text = QStringLiteral("Unknown error");
                        return done(ZohoError::apiError(QStringLiteral("HTTP %1: %2").arg(reply.status).arg(text)));
                    }
                    sync([done] { done(std::nullopt); });
                });
        });
}
