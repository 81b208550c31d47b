// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QPair>

#include <functional>

class QNetworkAccessManager;
class QObject;

// The little HTTP the Zoho client needs. Every request goes through `send`,
// which holds the rules for all of them: an overall deadline, a cap on the
// answer's size, and redirects followed only within the same origin, so that
// no credential ever travels to another server.
namespace ZohoHttp {

constexpr int DefaultTimeoutMs = 60000;
constexpr qint64 MaxBodyBytes = 4 * 1024 * 1024;

struct Reply
{
    // No HTTP answer to use (refused, reset, timed out, too large, redirected
    // elsewhere); `error` says why in words a person understands.
    bool failed = false;
    QString error;
    int status = 0;
    QByteArray body;
};

// application/x-www-form-urlencoded, every key and value encoded.
QByteArray formEncode(const QList<QPair<QString, QString>> &fields);

// Sends and calls `done` once, on `context`'s thread, unless `context` is gone
// by then. The whole exchange, answer included, must end within `timeoutMs`.
void send(QNetworkAccessManager &network, const QNetworkRequest &request, const QByteArray &method,
    const QByteArray &body, int timeoutMs, QObject *context, std::function<void(const Reply &)> done);

// "500 Internal Server Error", or the bare number for a status without a
// well-known reason.
QString statusText(int status);

// A short, single-line excerpt of a body for an error message, with token
// values blanked out; "?" when it is not UTF-8.
QString bodyExcerpt(const QByteArray &body);

// "Zoho answered 500 Internal Server Error", with a short excerpt of the body
// when it says more than the status does; `lead` replaces "Zoho answered ".
QString statusFailure(int status, const QByteArray &body, const QString &lead = QStringLiteral("Zoho answered "));

QString notJsonFailure();

} // namespace ZohoHttp
