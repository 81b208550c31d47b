// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/ZohoTypes.h"
#include <QCoreApplication>

QString ZohoError::description() const
{
    switch (m_kind) {
    case Kind::Token:
        return QCoreApplication::translate("ZohoError", "Token error: ") + m_message;
    case Kind::Api:
        return QCoreApplication::translate("ZohoError", "API error: ") + m_message;
    case Kind::NotAuthenticated:
        return QCoreApplication::translate("ZohoError", "Not authenticated with Zoho");
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
