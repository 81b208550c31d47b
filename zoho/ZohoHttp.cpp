#include "zoho/ZohoHttp.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

namespace ZohoHttp {

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
    QNetworkRequest timed = request;
    timed.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = network.sendCustomRequest(timed, method, body);
    QObject::connect(reply, &QNetworkReply::finished, context, [reply, done = std::move(done)] {
        reply->deleteLater();
        Reply result;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid()) {
            result.status = status.toInt();
            result.body = reply->readAll();
        } else {
            result.failed = true;
            result.error = reply->error() == QNetworkReply::OperationCanceledError
                ? QStringLiteral("The request timed out.")
                : reply->errorString();
        }
        done(result);
    });
}

QString redactedBody(const QByteArray &body)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(body);
    if (utf8.hasError())
        return QStringLiteral("?");
    static const QRegularExpression secret(
        QStringLiteral("(\"(?:access_token|refresh_token|id_token)\"\\s*:\\s*\")[^\"]*(\")"));
    return text.replace(secret, QStringLiteral("\\1…\\2"));
}

} // namespace ZohoHttp
