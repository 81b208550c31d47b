// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/fake-zoho/FakeZohoServer.h"

#include <QDateTime>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <sys/socket.h>

namespace {

// application/x-www-form-urlencoded, read as a browser would: "+" is a space.
QHash<QString, QString> formFields(const QByteArray &body)
{
    QHash<QString, QString> fields;
    for (const QByteArray &pair : body.split('&')) {
        const qsizetype equals = pair.indexOf('=');
        if (equals < 0)
            continue;
        auto decode = [](QByteArray text) {
            return QString::fromUtf8(QByteArray::fromPercentEncoding(text.replace('+', ' ')));
        };
        fields.insert(decode(pair.left(equals)), decode(pair.mid(equals + 1)));
    }
    return fields;
}

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

FakeZohoServer::FakeZohoServer(QObject *parent)
    : QAbstractHttpServer(parent)
{ }

quint16 FakeZohoServer::start(quint16 port)
{
    m_port = listen(QHostAddress::LocalHost, port);
    return m_port;
}

QUrl FakeZohoServer::url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
}

bool FakeZohoServer::load(const QJsonObject &data, QString *error)
{
    if (!data.value(QStringLiteral("calendars")).isArray() && data.contains(QStringLiteral("calendars"))) {
        if (error)
            *error = QStringLiteral("\"calendars\" must be a list");
        return false;
    }
    for (const QJsonValue &code : data.value(QStringLiteral("codes")).toArray())
        addCode(code.toString());
    if (data.contains(QStringLiteral("tokenLifetime")))
        m_tokenLifetime = data.value(QStringLiteral("tokenLifetime")).toInt(3600);
    m_calendars = data.value(QStringLiteral("calendars")).toArray();
    const QJsonObject events = data.value(QStringLiteral("events")).toObject();
    for (auto it = events.begin(); it != events.end(); ++it)
        m_events.insert(it.key(), it.value().toArray());
    return true;
}

namespace {

const QList<QPair<QString, FakeZohoServer::Failure>> &failureTable()
{
    using F = FakeZohoServer::Failure;
    static const QList<QPair<QString, F>> table {
        {QStringLiteral("none"), F::None},
        {QStringLiteral("error200"), F::ErrorJson200},
        {QStringLiteral("401"), F::Status401},
        {QStringLiteral("401once"), F::Status401Once},
        {QStringLiteral("500"), F::Status500},
        {QStringLiteral("notjson"), F::NotJson},
        {QStringLiteral("array"), F::JsonArray},
        {QStringLiteral("hang"), F::NeverAnswer},
        {QStringLiteral("slow"), F::Slow},
        {QStringLiteral("trickle"), F::Trickle},
        {QStringLiteral("reset"), F::Reset},
        {QStringLiteral("large"), F::LargeBody},
        {QStringLiteral("redirect"), F::Redirect},
        {QStringLiteral("redirect-here"), F::RedirectHere},
        {QStringLiteral("crlf"), F::TokenWithCrLf},
        {QStringLiteral("invalid_grant"), F::InvalidGrant},
    };
    return table;
}

// Marks the second leg of Failure::RedirectHere.
const QString RedirectedMark = QStringLiteral("fake-redirected=1");

// "20260325T090000Z" or "20260325": the forms Zoho's range takes.
bool isCompactDate(const QJsonValue &value)
{
    static const QRegularExpression form(QStringLiteral("^\\d{8}(T\\d{6}Z)?$"));
    return value.isString() && form.match(value.toString()).hasMatch();
}

// An event as Zoho's published API shows it: "isallday" a boolean on the
// event, no "allday" string.
QJsonObject documentedEvent(QJsonObject event)
{
    QJsonObject when = event.value(QStringLiteral("dateandtime")).toObject();
    const bool allDay = event.value(QStringLiteral("isallday")).toBool(false)
        || when.value(QStringLiteral("allday")).toString() == QLatin1String("true");
    when.remove(QStringLiteral("allday"));
    if (event.contains(QStringLiteral("dateandtime")))
        event.insert(QStringLiteral("dateandtime"), when);
    event.insert(QStringLiteral("isallday"), allDay);
    return event;
}

QByteArray reasonOf(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 307:
        return "Temporary Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

FakeZohoServer::Failure FakeZohoServer::failureFromName(const QString &name, bool *ok)
{
    for (const auto &[key, failure] : failureTable()) {
        if (key == name) {
            if (ok)
                *ok = true;
            return failure;
        }
    }
    if (ok)
        *ok = false;
    return Failure::None;
}

QStringList FakeZohoServer::failureNames()
{
    QStringList names;
    for (const auto &entry : failureTable())
        names.append(entry.first);
    return names;
}

QList<FakeZohoServer::RecordedRequest> FakeZohoServer::requestsTo(const QString &pathPrefix) const
{
    QList<RecordedRequest> matching;
    for (const RecordedRequest &request : m_requests) {
        if (request.path.startsWith(pathPrefix))
            matching.append(request);
    }
    return matching;
}

std::optional<FakeZohoServer::Answer> FakeZohoServer::failureAnswer(
    Failure failure, const Answer &normal, const RecordedRequest &request) const
{
    switch (failure) {
    case Failure::ErrorJson200:
        return Answer {200, json({{QStringLiteral("error"), QStringLiteral("invalid_code")}})};
    case Failure::Status401:
        return Answer {401, json({{QStringLiteral("error"), QStringLiteral("INVALID_OAUTHTOKEN")}})};
    case Failure::Status500:
        return Answer {500, "Internal Server Error", "text/plain"};
    case Failure::NotJson:
        return Answer {200, "<html><body>Service unavailable</body></html>", "text/html"};
    case Failure::JsonArray:
        return Answer {200, "[]"};
    case Failure::InvalidGrant:
        return tokenRefusal(QStringLiteral("invalid_grant"));
    case Failure::LargeBody: {
        QJsonObject padded = QJsonDocument::fromJson(normal.body).object();
        padded.insert(QStringLiteral("padding"), QString(5 * 1024 * 1024, QLatin1Char('x')));
        return Answer {normal.status, json(padded)};
    }
    case Failure::Redirect:
    case Failure::RedirectHere: {
        QUrl target = failure == Failure::Redirect ? m_redirectTarget : url();
        target.setPath(request.path, QUrl::StrictMode);
        QString query = request.query;
        if (failure == Failure::RedirectHere)
            query += (query.isEmpty() ? QString() : QStringLiteral("&")) + RedirectedMark;
        target.setQuery(query, QUrl::StrictMode);
        Answer answer {307, json({{QStringLiteral("moved"), true}})};
        answer.location = target.toEncoded();
        return answer;
    }
    default:
        return std::nullopt;
    }
}

FakeZohoServer::Answer FakeZohoServer::tokenRefusal(const QString &error) const
{
    return {m_dialect == Dialect::Documented ? 400 : 200, json({{QStringLiteral("error"), error}})};
}

QString FakeZohoServer::issueAccessToken()
{
    const QString token = QStringLiteral("access-%1-%2").arg(++m_serial).arg(QDateTime::currentMSecsSinceEpoch());
    m_accessTokens.insert(token, QDateTime::currentMSecsSinceEpoch() + qint64(m_tokenLifetime) * 1000);
    return token;
}

FakeZohoServer::Answer FakeZohoServer::tokenEndpoint(const QByteArray &body, Failure *failure)
{
    const QHash<QString, QString> fields = formFields(body);
    const QString grant = fields.value(QStringLiteral("grant_type"));
    QString refresh;
    if (grant == QLatin1String("refresh_token")) {
        ++m_refreshCount;
        *failure = m_refreshFailure;
        refresh = fields.value(QStringLiteral("refresh_token"));
        if (!m_refreshTokens.contains(refresh))
            return tokenRefusal(QStringLiteral("invalid_grant"));
    } else {
        *failure = m_tokenFailure;
        if (!m_exchangeBody.isEmpty())
            return {200, m_exchangeBody};
        if (grant != QLatin1String("authorization_code") || !m_codes.removeOne(fields.value(QStringLiteral("code"))))
            return tokenRefusal(QStringLiteral("invalid_code"));
        refresh = QStringLiteral("refresh-%1").arg(++m_serial);
        m_refreshTokens.append(refresh);
    }
    QString access = issueAccessToken();
    if (*failure == Failure::TokenWithCrLf) {
        // A header and a whole second request, should a client put it in a header.
        access += QStringLiteral("\r\nX-Injected: yes\r\n\r\nGET /injected HTTP/1.1\r\nHost: 127.0.0.1");
        m_accessTokens.insert(access, QDateTime::currentMSecsSinceEpoch() + qint64(m_tokenLifetime) * 1000);
        *failure = Failure::None;
    }
    QJsonObject answer {{QStringLiteral("access_token"), access}, {QStringLiteral("expires_in"), m_tokenLifetime},
        {QStringLiteral("token_type"), QStringLiteral("Bearer")}};
    if (grant != QLatin1String("refresh_token"))
        answer.insert(QStringLiteral("refresh_token"), refresh);
    return {200, json(answer)};
}

bool FakeZohoServer::authorized(const RecordedRequest &request) const
{
    const QByteArray header = request.headers.value("authorization");
    if (!header.startsWith("Zoho-oauthtoken "))
        return false;
    const QString token = QString::fromUtf8(header.mid(16));
    return m_accessTokens.contains(token) && m_accessTokens.value(token) > QDateTime::currentMSecsSinceEpoch();
}

FakeZohoServer::Answer FakeZohoServer::calendarList() const
{
    if (m_dialect == Dialect::Original)
        return {200, json({{QStringLiteral("calendars"), m_calendars}})};
    QJsonArray calendars;
    for (const QJsonValue &value : m_calendars) {
        QJsonObject calendar = value.toObject();
        if (calendar.contains(QStringLiteral("calname")))
            calendar.insert(QStringLiteral("name"), calendar.take(QStringLiteral("calname")));
        calendars.append(calendar);
    }
    return {200, json({{QStringLiteral("calendars"), calendars}})};
}

FakeZohoServer::Answer FakeZohoServer::eventList(const RecordedRequest &request, const QString &calendarId) const
{
    const QJsonArray events = m_events.value(calendarId);
    if (m_dialect == Dialect::Original)
        return {200, json({{QStringLiteral("events"), events}})};
    // The range is required, as JSON in the query.
    const QJsonObject range = QJsonDocument::fromJson(
        QUrlQuery(request.query).queryItemValue(QStringLiteral("range"), QUrl::FullyDecoded).toUtf8())
                                  .object();
    if (!isCompactDate(range.value(QStringLiteral("start"))) || !isCompactDate(range.value(QStringLiteral("end"))))
        return {400, json({{QStringLiteral("error"), QStringLiteral("INVALID_RANGE")}})};
    QJsonArray documented;
    for (const QJsonValue &event : events)
        documented.append(documentedEvent(event.toObject()));
    return {200, json({{QStringLiteral("events"), documented}})};
}

FakeZohoServer::Answer FakeZohoServer::createEvent(const RecordedRequest &request, const QString &calendarId)
{
    // The original contract sends the event as a JSON body; Zoho's published
    // API takes it in the query.
    const QJsonObject eventData = m_dialect == Dialect::Original
        ? QJsonDocument::fromJson(request.body).object().value(QStringLiteral("eventdata")).toObject()
        : QJsonDocument::fromJson(
            QUrlQuery(request.query).queryItemValue(QStringLiteral("eventdata"), QUrl::FullyDecoded).toUtf8())
              .object();
    if (eventData.isEmpty())
        return {400, json({{QStringLiteral("error"), QStringLiteral("INVALID_DATA")}})};
    QJsonObject created = eventData;
    created.insert(QStringLiteral("uid"), QStringLiteral("event-%1").arg(++m_serial));
    QJsonArray list = m_events.value(calendarId);
    list.append(created);
    m_events.insert(calendarId, list);
    return {201,
        json({{QStringLiteral("events"),
            QJsonArray {m_dialect == Dialect::Original ? created : documentedEvent(created)}}})};
}

FakeZohoServer::Answer FakeZohoServer::calendarApi(const RecordedRequest &request, Failure *failure)
{
    static const QRegularExpression eventsPath(QStringLiteral("^/api/v1/calendars/([^/]+)/events$"));
    const bool isCalendars = request.path == QLatin1String("/api/v1/calendars");
    const QRegularExpressionMatch events = eventsPath.match(request.path);
    const QString calendarId = events.hasMatch() ? QUrl::fromPercentEncoding(events.captured(1).toUtf8()) : QString();
    Failure *slot = nullptr;
    if (isCalendars)
        slot = &m_calendarsFailure;
    else if (events.hasMatch() && request.method == "POST")
        slot = &m_createFailure;
    else if (events.hasMatch() && m_eventsFailures.contains(calendarId))
        slot = &m_eventsFailures[calendarId];
    *failure = slot ? *slot : Failure::None;
    if (*failure == Failure::Status401Once) {
        // Every token issued so far stops working, once: a refresh mends it.
        revokeAccessTokens();
        *slot = Failure::None;
        *failure = Failure::None;
    }

    if (!isCalendars && !events.hasMatch())
        return {404, json({{QStringLiteral("error"), QStringLiteral("NOT_FOUND")}})};
    if (!authorized(request))
        return {401, json({{QStringLiteral("error"), QStringLiteral("INVALID_OAUTHTOKEN")}})};
    if (isCalendars)
        return calendarList();

    const bool known = std::any_of(m_calendars.begin(), m_calendars.end(), [&](const QJsonValue &calendar) {
        return calendar.toObject().value(QStringLiteral("uid")).toString() == calendarId;
    });
    if (!known)
        return {404, json({{QStringLiteral("error"), QStringLiteral("CALENDAR_NOT_FOUND")}})};
    return request.method == "POST" ? createEvent(request, calendarId) : eventList(request, calendarId);
}

void FakeZohoServer::trickle(QTcpSocket *socket, const Answer &answer)
{
    socket->write("HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonOf(answer.status) + "\r\nContent-Type: "
        + answer.contentType + "\r\nContent-Length: " + QByteArray::number(answer.body.size()) + "\r\n\r\n");
    auto *timer = new QTimer(socket);
    auto sent = std::make_shared<qsizetype>(0);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, sent, body = answer.body] {
        if (*sent >= body.size()) {
            timer->stop();
            return;
        }
        socket->write(body.mid((*sent)++, 1));
    });
    timer->start(m_trickleMs);
}

void FakeZohoServer::reset(QTcpSocket *socket)
{
    // Closing with a zero linger time sends RST, not FIN.
    const linger abortive {1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    socket->abort();
}

bool FakeZohoServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    RecordedRequest recorded;
    switch (request.method()) {
    case QHttpServerRequest::Method::Get:
        recorded.method = "GET";
        break;
    case QHttpServerRequest::Method::Post:
        recorded.method = "POST";
        break;
    default:
        recorded.method = "OTHER";
        break;
    }
    recorded.path = request.url().path(QUrl::FullyEncoded);
    recorded.query = request.url().query(QUrl::FullyEncoded);
    for (const auto &[name, value] : request.headers())
        recorded.headers.insert(name.toLower(), value);
    recorded.body = request.body();
    m_requests.append(recorded);
    if (m_observer)
        m_observer(recorded);

    Failure failure = Failure::None;
    const Answer normal = recorded.path == QLatin1String("/oauth/v2/token") ? tokenEndpoint(recorded.body, &failure)
                                                                            : calendarApi(recorded, &failure);
    if (failure == Failure::RedirectHere && recorded.query.contains(RedirectedMark))
        failure = Failure::None; // the second leg
    if (failure == Failure::NeverAnswer)
        return true; // the connection stays open and silent
    if (failure == Failure::Reset) {
        reset(socket);
        return true;
    }
    const Answer answer = failureAnswer(failure, normal, recorded).value_or(normal);
    if (failure == Failure::Trickle) {
        trickle(socket, answer);
        return true;
    }
    auto responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
    auto respond = [responder, answer] {
        const auto status = QHttpServerResponder::StatusCode(answer.status);
        if (answer.location.isEmpty())
            responder->write(answer.body, answer.contentType, status);
        else
            responder->write(
                answer.body, {{"Content-Type", answer.contentType}, {"Location", answer.location}}, status);
    };
    if (failure == Failure::Slow)
        QTimer::singleShot(m_slowMs, socket, respond);
    else
        respond();
    return true;
}

void FakeZohoServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}
