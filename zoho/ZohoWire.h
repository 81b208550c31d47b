// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

class QTimeZone;

// What Zoho's servers send: OAuth tokens and the date forms of its events.
struct ZohoTokens
{
    QString accessToken;
    QString refreshToken;
    QDateTime expiryDate;
};

// A token from a server goes into a header only when it is visible ASCII:
// no space, CR, LF or other control byte that could end the header.
bool isHeaderSafeToken(const QString &token);

// Zoho's date forms, tried in order: "20261206T100000Z" (or with a numeric
// offset), "20261206T100000" (local), "20261206" (local midnight), ISO 8601.
std::optional<QDateTime> parseZohoDate(const QString &text, const QTimeZone &localZone);
