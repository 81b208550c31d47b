#include "zoho/ZohoTypes.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>

QString ZohoError::description() const
{
    switch (m_kind) {
    case Kind::Token:
        return QStringLiteral("Token error: ") + m_message;
    case Kind::Api:
        return QStringLiteral("API error: ") + m_message;
    case Kind::NotAuthenticated:
        return QStringLiteral("Not authenticated with Zoho");
    case Kind::Other:
        break;
    }
    return m_message;
}

QColor systemBlue()
{
    return QColor(0x00, 0x7A, 0xFF);
}

std::optional<QColor> hexColor(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && !text[first].isLetterOrNumber())
        ++first;
    while (last > first && !text[last - 1].isLetterOrNumber())
        --last;
    const QString trimmed = text.mid(first, last - first);
    if (trimmed.size() != 6)
        return std::nullopt;
    // Every one of the six must be a hex digit: "orange" is not a colour.
    quint32 value = 0;
    for (const QChar c : trimmed) {
        const int digit = QStringLiteral("0123456789abcdef").indexOf(c.toLower());
        if (digit < 0 || c.unicode() > 0x7F)
            return std::nullopt;
        value = value * 16 + quint32(digit);
    }
    return QColor(int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF));
}

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
