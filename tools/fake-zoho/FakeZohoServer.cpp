#include "tools/fake-zoho/FakeZohoServer.h"

#include <QDateTime>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

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

FakeZohoServer::Failure FakeZohoServer::failureFromName(const QString &name, bool *ok)
{
    static const QHash<QString, Failure> names {
        {QStringLiteral("none"), Failure::None},
        {QStringLiteral("error200"), Failure::ErrorJson200},
        {QStringLiteral("401"), Failure::Status401},
        {QStringLiteral("500"), Failure::Status500},
        {QStringLiteral("notjson"), Failure::NotJson},
        {QStringLiteral("array"), Failure::JsonArray},
        {QStringLiteral("hang"), Failure::NeverAnswer},
        {QStringLiteral("slow"), Failure::Slow},
    };
    if (ok)
        *ok = names.contains(name);
    return names.value(name, Failure::None);
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

std::optional<FakeZohoServer::Answer> FakeZohoServer::failureAnswer(Failure failure)
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
    default:
        return std::nullopt;
    }
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
    if (grant == QLatin1String("refresh_token")) {
        ++m_refreshCount;
        *failure = m_refreshFailure;
        if (!m_refreshTokens.contains(fields.value(QStringLiteral("refresh_token"))))
            return {200, json({{QStringLiteral("error"), QStringLiteral("invalid_code")}})};
        return {200,
            json({{QStringLiteral("access_token"), issueAccessToken()}, {QStringLiteral("expires_in"), m_tokenLifetime},
                {QStringLiteral("token_type"), QStringLiteral("Bearer")}})};
    }
    *failure = m_tokenFailure;
    if (!m_exchangeBody.isEmpty())
        return {200, m_exchangeBody};
    if (grant != QLatin1String("authorization_code") || !m_codes.removeOne(fields.value(QStringLiteral("code"))))
        return {200, json({{QStringLiteral("error"), QStringLiteral("invalid_code")}})};
    const QString refresh = QStringLiteral("refresh-%1").arg(++m_serial);
    m_refreshTokens.append(refresh);
    return {200,
        json({{QStringLiteral("access_token"), issueAccessToken()}, {QStringLiteral("refresh_token"), refresh},
            {QStringLiteral("expires_in"), m_tokenLifetime},
            {QStringLiteral("token_type"), QStringLiteral("Bearer")}})};
}

bool FakeZohoServer::authorized(const RecordedRequest &request) const
{
    const QByteArray header = request.headers.value("authorization");
    if (!header.startsWith("Zoho-oauthtoken "))
        return false;
    const QString token = QString::fromUtf8(header.mid(16));
    return m_accessTokens.contains(token) && m_accessTokens.value(token) > QDateTime::currentMSecsSinceEpoch();
}

FakeZohoServer::Answer FakeZohoServer::calendarApi(const RecordedRequest &request, Failure *failure)
{
    static const QRegularExpression eventsPath(QStringLiteral("^/api/v1/calendars/([^/]+)/events$"));
    const bool isCalendars = request.path == QLatin1String("/api/v1/calendars");
    const QRegularExpressionMatch events = eventsPath.match(request.path);
    const QString calendarId = events.hasMatch() ? QUrl::fromPercentEncoding(events.captured(1).toUtf8()) : QString();
    if (isCalendars)
        *failure = m_calendarsFailure;
    else if (events.hasMatch() && request.method == "POST")
        *failure = m_createFailure;
    else if (events.hasMatch())
        *failure = m_eventsFailures.value(calendarId, Failure::None);

    if (!isCalendars && !events.hasMatch())
        return {404, json({{QStringLiteral("error"), QStringLiteral("NOT_FOUND")}})};
    if (!authorized(request))
        return {401, json({{QStringLiteral("error"), QStringLiteral("INVALID_OAUTHTOKEN")}})};
    if (isCalendars)
        return {200, json({{QStringLiteral("calendars"), m_calendars}})};

    const bool known = std::any_of(m_calendars.begin(), m_calendars.end(), [&](const QJsonValue &calendar) {
        return calendar.toObject().value(QStringLiteral("uid")).toString() == calendarId;
    });
    if (!known)
        return {404, json({{QStringLiteral("error"), QStringLiteral("CALENDAR_NOT_FOUND")}})};
    if (request.method != "POST")
        return {200, json({{QStringLiteral("events"), m_events.value(calendarId)}})};

    const QJsonObject eventData
        = QJsonDocument::fromJson(request.body).object().value(QStringLiteral("eventdata")).toObject();
    if (eventData.isEmpty())
        return {400, json({{QStringLiteral("error"), QStringLiteral("INVALID_DATA")}})};
    QJsonObject created = eventData;
    created.insert(QStringLiteral("uid"), QStringLiteral("event-%1").arg(++m_serial));
    QJsonArray list = m_events.value(calendarId);
    list.append(created);
    m_events.insert(calendarId, list);
    return {201, json({{QStringLiteral("events"), QJsonArray {created}}})};
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

    Failure failure = Failure::None;
    const Answer normal = recorded.path == QLatin1String("/oauth/v2/token") ? tokenEndpoint(recorded.body, &failure)
                                                                            : calendarApi(recorded, &failure);
    if (failure == Failure::NeverAnswer)
        return true; // the connection stays open and silent
    const Answer answer = failureAnswer(failure).value_or(normal);
    auto responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
    auto respond = [responder, answer] {
        responder->write(answer.body, answer.contentType, QHttpServerResponder::StatusCode(answer.status));
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
