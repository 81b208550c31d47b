// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoho/ZohoConfig.h"

#include <QCoreApplication>
#include <QHostAddress>

namespace ZohoConfig {

QString clientId()
{
    return QString::fromUtf8(ClientId);
}

QString refusalReason(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return QCoreApplication::translate("ZohoConfig", "Not a valid server address: %1").arg(url.toDisplayString());
    if (url.scheme() == QLatin1String("https"))
        return {};
    const QHostAddress address(url.host());
    const bool loopback = url.host() == QLatin1String("localhost") || (!address.isNull() && address.isLoopback());
    if (url.scheme() == QLatin1String("http") && loopback)
        return {};
    return QCoreApplication::translate("ZohoConfig", "Refusing to send Zoho credentials to %1: only https is allowed")
        .arg(url.toDisplayString());
}

QUrl endpoint(const QUrl &base, const QString &path)
{
    QUrl url = base;
    QString basePath = url.path(QUrl::FullyEncoded);
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setPath(basePath + path, QUrl::TolerantMode);
    return url;
}

} // namespace ZohoConfig
