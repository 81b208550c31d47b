// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractHttpServer>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QUrl>

#include <functional>
#include <optional>

// A stand-in for Zoho's accounts server and Calendar API, on this machine
// only: one-time codes, tokens with a lifetime, refresh, calendars and events
// held in memory, event creation, and the ways real and hostile servers fail.
// It speaks brivane's original request contract, or (Dialect::Documented)
// only the forms of Zoho's published API.
class FakeZohoServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    enum class Failure {
        None,
        ErrorJson200, // {"error": …} with status 200
        Status401,
        Status401Once, // the access tokens stop working: 401, then normal answers
        Status500,
        NotJson,
        JsonArray,
        NeverAnswer,
        Slow, // answers after slowMilliseconds()
        Trickle, // one byte of the answer every trickleMilliseconds()
        Reset, // the connection is reset (TCP RST) instead of an answer
        LargeBody, // the normal answer padded to 5 MB
        Redirect, // 307 to the same path on redirectTarget()
        RedirectHere, // 307 to the same address on this server, then normal
        TokenWithCrLf, // token endpoint: an access token holding CR LF and a header
        InvalidGrant, // token endpoint: {"error": "invalid_grant"}
    };

    enum class Dialect {
        Original, // range_start/range_end, JSON body on create, "calname", "allday": "true"
        // Zoho's published API only: range={"start","end"}, eventdata in the
        // query, "name", "isallday": true, token errors with status 400.
        Documented,
    };

    struct RecordedRequest
    {
        QByteArray method;
        QString path; // as sent, percent-encoding kept
        QString query; // as sent
        QHash<QByteArray, QByteArray> headers;
        QByteArray body;
    };

    explicit FakeZohoServer(QObject *parent = nullptr);

    // Listens on 127.0.0.1; 0 picks a free port. Returns the port, 0 on failure.
    quint16 start(quint16 port = 0);
    QUrl url() const;

    // {"codes": [...], "tokenLifetime": 3600, "calendars": [...], "events": {"<calendar uid>": [...]}}
    bool load(const QJsonObject &data, QString *error = nullptr);

    void addCode(const QString &code) { m_codes.append(code); }
    void setTokenLifetime(int seconds) { m_tokenLifetime = seconds; }
    void setCalendars(const QJsonArray &calendars) { m_calendars = calendars; }
    void setEvents(const QString &calendarId, const QJsonArray &events) { m_events.insert(calendarId, events); }
    QJsonArray events(const QString &calendarId) const { return m_events.value(calendarId); }

    void setTokenFailure(Failure failure) { m_tokenFailure = failure; }
    // Answers code exchanges with this body (status 200) instead of tokens.
    void setExchangeBody(const QByteArray &body) { m_exchangeBody = body; }
    void setRefreshFailure(Failure failure) { m_refreshFailure = failure; }
    void setCalendarsFailure(Failure failure) { m_calendarsFailure = failure; }
    void setEventsFailure(const QString &calendarId, Failure failure) { m_eventsFailures.insert(calendarId, failure); }
    void setCreateFailure(Failure failure) { m_createFailure = failure; }
    void setSlowMilliseconds(int milliseconds) { m_slowMs = milliseconds; }
    int slowMilliseconds() const { return m_slowMs; }
    void setTrickleMilliseconds(int milliseconds) { m_trickleMs = milliseconds; }
    // Where Failure::Redirect sends requests (scheme, host and port).
    void setRedirectTarget(const QUrl &target) { m_redirectTarget = target; }
    void setDialect(Dialect dialect) { m_dialect = dialect; }
    Dialect dialect() const { return m_dialect; }
    // Called with every request as it arrives.
    void setRequestObserver(std::function<void(const RecordedRequest &)> observer) { m_observer = std::move(observer); }
    // Every access token issued so far stops working (as if expired early).
    void revokeAccessTokens() { m_accessTokens.clear(); }

    const QList<RecordedRequest> &requests() const { return m_requests; }
    QList<RecordedRequest> requestsTo(const QString &pathPrefix) const;
    void clearRequests() { m_requests.clear(); }
    int refreshCount() const { return m_refreshCount; }

    static Failure failureFromName(const QString &name, bool *ok = nullptr);
    static QStringList failureNames();

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    struct Answer
    {
        Answer(int answerStatus, QByteArray answerBody, QByteArray type = "application/json")
            : status(answerStatus)
            , body(std::move(answerBody))
            , contentType(std::move(type))
        { }
        int status;
        QByteArray body;
        QByteArray contentType;
        QByteArray location; // for redirects
    };
    Answer tokenEndpoint(const QByteArray &body, Failure *failure);
    Answer calendarApi(const RecordedRequest &request, Failure *failure);
    Answer calendarList() const;
    Answer eventList(const RecordedRequest &request, const QString &calendarId) const;
    Answer createEvent(const RecordedRequest &request, const QString &calendarId);
    std::optional<Answer> failureAnswer(Failure failure, const Answer &normal, const RecordedRequest &request) const;
    void trickle(QTcpSocket *socket, const Answer &answer);
    static void reset(QTcpSocket *socket);
    // A refused code or token: status 200 in the original contract, 400 in Zoho's published one.
    Answer tokenRefusal(const QString &error) const;
    bool authorized(const RecordedRequest &request) const;
    QString issueAccessToken();

    QStringList m_codes;
    int m_tokenLifetime = 3600;
    QHash<QString, qint64> m_accessTokens; // token → expiry (ms since epoch)
    QStringList m_refreshTokens;
    QJsonArray m_calendars;
    QHash<QString, QJsonArray> m_events;
    Failure m_tokenFailure = Failure::None;
    QByteArray m_exchangeBody;
    Failure m_refreshFailure = Failure::None;
    Failure m_calendarsFailure = Failure::None;
    Failure m_createFailure = Failure::None;
    QHash<QString, Failure> m_eventsFailures;
    int m_slowMs = 3000;
    int m_trickleMs = 2000;
    QUrl m_redirectTarget = QUrl(QStringLiteral("http://127.0.0.1:9"));
    Dialect m_dialect = Dialect::Original;
    std::function<void(const RecordedRequest &)> m_observer;
    QList<RecordedRequest> m_requests;
    int m_refreshCount = 0;
    int m_serial = 0;
    quint16 m_port = 0;
};
