#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QPair>

#include <functional>

class QNetworkAccessManager;
class QObject;

// The little HTTP the Zoho client needs.
namespace ZohoHttp {

constexpr int DefaultTimeoutMs = 60000;

struct Reply
{
    // No HTTP answer at all (refused, unreachable, timed out); `error` says why.
    bool failed = false;
    QString error;
    int status = 0;
    QByteArray body;
};

// application/x-www-form-urlencoded, every key and value encoded.
QByteArray formEncode(const QList<QPair<QString, QString>> &fields);

// Sends and calls `done` once, on `context`'s thread, unless `context` is gone by then.
void send(QNetworkAccessManager &network, const QNetworkRequest &request, const QByteArray &method,
    const QByteArray &body, int timeoutMs, QObject *context, std::function<void(const Reply &)> done);

// The body as text for an error message, with token values blanked out.
QString redactedBody(const QByteArray &body);

} // namespace ZohoHttp
