// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoho/ZohoHttp.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

#include <QCoreApplication>
#include <memory>

namespace ZohoHttp {

namespace {

constexpr int MaxRedirects = 5;
constexpr qsizetype ExcerptLength = 120;

bool sameOrigin(const QUrl &a, const QUrl &b)
{
    auto defaultPort = [](const QUrl &url) { return url.scheme() == QLatin1String("https") ? 443 : 80; };
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0
        && a.port(defaultPort(a)) == b.port(defaultPort(b));
}

// Qt's own texts for these read like programmer's messages.
QString transportFailure(const QNetworkReply &reply)
{
    switch (reply.error()) {
    case QNetworkReply::ConnectionRefusedError:
        return QCoreApplication::translate("ZohoHttp", "Could not connect to %1: connection refused")
            .arg(reply.url().host());
    case QNetworkReply::RemoteHostClosedError:
        return QCoreApplication::translate("ZohoHttp", "Connection reset by the server");
    case QNetworkReply::HostNotFoundError:
        return QCoreApplication::translate("ZohoHttp", "Server not found: %1").arg(reply.url().host());
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QCoreApplication::translate("ZohoHttp", "The request timed out.");
    case QNetworkReply::SslHandshakeFailedError:
        return QCoreApplication::translate("ZohoHttp", "Secure connection to %1 failed: %2")
            .arg(reply.url().host(), reply.errorString());
    case QNetworkReply::TooManyRedirectsError:
        return QCoreApplication::translate("ZohoHttp", "Zoho redirected the request too many times");
    default:
        return reply.errorString();
    }
}

// Network and proxy failures; content, protocol and server errors still come
// with an HTTP status, which the caller reads.
bool isTransportFailure(QNetworkReply::NetworkError error)
{
    return error != QNetworkReply::NoError && int(error) < int(QNetworkReply::ContentAccessDenied);
}

} // namespace

QByteArray formEncode(const QList<QPair<QString, QString>> &fields)
{
    QByteArray body;
    for (const auto &[key, value] : fields) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(key) + '=' + QUrl::toPercentEncoding(value);
    }
    return body;
}

void send(QNetworkAccessManager &network, const QNetworkRequest &request, const QByteArray &method,
    const QByteArray &body, int timeoutMs, QObject *context, std::function<void(const Reply &)> done)
{
    QNetworkRequest guarded = request;
    guarded.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    guarded.setMaximumRedirectsAllowed(MaxRedirects);
    guarded.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = network.sendCustomRequest(guarded, method, body);
    // Why the request was cut short by us, if it was.
    auto stopped = std::make_shared<QString>();
    auto stop = [reply, stopped](const QString &why) {
        if (stopped->isEmpty())
            *stopped = why;
        reply->abort();
    };

    const QUrl origin = guarded.url();
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, origin, stop](const QUrl &target) {
        // The redirected request carries the same headers and body: the
        // bearer token, the code, the client secret.
        if (sameOrigin(origin, target)) {
            emit reply->redirectAllowed();
            return;
        }
        stop(
            QCoreApplication::translate(
                "ZohoHttp", "Zoho redirected the request to another server (%1); it was not followed")
                .arg(target.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
                         .toDisplayString()));
    });

    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply,
        [stop] { stop(QCoreApplication::translate("ZohoHttp", "The request timed out.")); });
    deadline->start(timeoutMs);

    const QString tooLarge
        = QCoreApplication::translate("ZohoHttp", "Zoho's answer is larger than %1 MB; it was not read")
              .arg(MaxBodyBytes / (1024 * 1024));
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, stop, tooLarge] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > MaxBodyBytes)
            stop(tooLarge);
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [stop, tooLarge](qint64 received, qint64) {
        if (received > MaxBodyBytes)
            stop(tooLarge);
    });

    QObject::connect(reply, &QNetworkReply::finished, context, [reply, stopped, done = std::move(done)] {
        reply->deleteLater();
        Reply result;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!stopped->isEmpty()) {
            result.failed = true;
            result.error = *stopped;
        } else if (isTransportFailure(reply->error()) || !status.isValid()) {
            result.failed = true;
            result.error = transportFailure(*reply);
        } else {
            result.status = status.toInt();
            result.body = reply->readAll();
        }
        done(result);
    });
}

QString statusText(int status)
{
    static const QHash<int, QString> reasons {
        {400, QStringLiteral("Bad Request")},
        {401, QStringLiteral("Unauthorized")},
        {403, QStringLiteral("Forbidden")},
        {404, QStringLiteral("Not Found")},
        {405, QStringLiteral("Method Not Allowed")},
        {408, QStringLiteral("Request Timeout")},
        {409, QStringLiteral("Conflict")},
        {410, QStringLiteral("Gone")},
        {413, QStringLiteral("Content Too Large")},
        {415, QStringLiteral("Unsupported Media Type")},
        {422, QStringLiteral("Unprocessable Content")},
        {429, QStringLiteral("Too Many Requests")},
        {500, QStringLiteral("Internal Server Error")},
        {501, QStringLiteral("Not Implemented")},
        {502, QStringLiteral("Bad Gateway")},
        {503, QStringLiteral("Service Unavailable")},
        {504, QStringLiteral("Gateway Timeout")},
    };
    const QString reason = reasons.value(status);
    return reason.isEmpty() ? QString::number(status) : QString::number(status) + QLatin1Char(' ') + reason;
}

QString bodyExcerpt(const QByteArray &body)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(body);
    if (utf8.hasError())
        return QStringLiteral("?");
    static const QRegularExpression jsonSecret(
        QStringLiteral("(\"(?:access_token|refresh_token|id_token)\"\\s*:\\s*\")(?:[^\"\\\\]|\\\\.)*(\")"));
    static const QRegularExpression formSecret(QStringLiteral("((?:access_token|refresh_token|id_token)=)[^&\\s\"]*"));
    static const QRegularExpression bearer(QStringLiteral("(Zoho-oauthtoken\\s+)\\S+"));
    text.replace(jsonSecret, QStringLiteral("\\1…\\2"));
    text.replace(formSecret, QStringLiteral("\\1…"));
    text.replace(bearer, QStringLiteral("\\1…"));
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char(' ');
    }
    text = text.simplified();
    if (text.size() > ExcerptLength)
        text = text.left(ExcerptLength) + QStringLiteral("…");
    return text;
}

QString statusFailure(int status, const QByteArray &body, const QString &lead)
{
    const QString text = lead + statusText(status);
    const QString excerpt = bodyExcerpt(body);
    if (excerpt.isEmpty() || text.endsWith(excerpt, Qt::CaseInsensitive))
        return text;
    return text + QStringLiteral(": ") + excerpt;
}

QString notJsonFailure()
{
    return QCoreApplication::translate("ZohoHttp", "Zoho answered with something that is not JSON");
}

} // namespace ZohoHttp
