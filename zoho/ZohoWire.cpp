// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoho/ZohoWire.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>

bool isHeaderSafeToken(const QString &token)
{
    if (token.isEmpty())
        return false;
    return std::all_of(token.begin(), token.end(), [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7F; });
}

std::optional<QDateTime> parseZohoDate(const QString &text, const QTimeZone &localZone)
{
    static const QRegularExpression withOffset(QStringLiteral("^(\\d{8}T\\d{6})(Z|[+-]\\d{4})$"));
    static const QRegularExpression local(QStringLiteral("^\\d{8}T\\d{6}$"));
    static const QRegularExpression dateOnly(QStringLiteral("^\\d{8}$"));
    const QString format = QStringLiteral("yyyyMMdd'T'HHmmss");

    if (const QRegularExpressionMatch match = withOffset.match(text); match.hasMatch()) {
        QDateTime value = QDateTime::fromString(match.captured(1), format);
        if (value.isValid()) {
            const QString offset = match.captured(2);
            int seconds = 0;
            if (offset != QLatin1String("Z")) {
                seconds = (offset.mid(1, 2).toInt() * 3600 + offset.mid(3, 2).toInt() * 60)
                    * (offset[0] == QLatin1Char('-') ? -1 : 1);
            }
            value.setTimeZone(QTimeZone(seconds));
            return value.toTimeZone(localZone);
        }
    }
    if (local.match(text).hasMatch()) {
        const QDateTime wall = QDateTime::fromString(text, format);
        if (wall.isValid())
            return QDateTime(wall.date(), wall.time(), localZone);
    }
    if (dateOnly.match(text).hasMatch()) {
        const QDate date = QDate::fromString(text, QStringLiteral("yyyyMMdd"));
        if (date.isValid())
            return QDateTime(date, QTime(0, 0), localZone);
    }
    const QDateTime iso = QDateTime::fromString(text, Qt::ISODateWithMs);
    // Internet date-time: an offset (or Z) is part of it.
    if (iso.isValid() && iso.timeSpec() != Qt::LocalTime)
        return iso.toTimeZone(localZone);
    return std::nullopt;
}
