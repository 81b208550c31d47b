// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QDateTime>
#include <QString>

#include <QCoreApplication>
#include <optional>

// Zoho's calendars and events as its client (zoho/) reads them, before they
// become the store's, and the colours they come with.

// The store's provider id of Zoho's calendars and events.
inline const QString ZohoProviderId = QStringLiteral("zoho");

// The store's identifier of the Zoho calendar `zohoCalendarId`: prefixed,
// so that it never meets another provider's. The hidden set keeps it too.
inline QString zohoStoreCalendarId(const QString &zohoCalendarId)
{
    return QStringLiteral("zoho:") + zohoCalendarId;
}

// What went wrong with Zoho, as the user reads it.
class ZohoError
{
public:
    enum class Kind { Token, Api, NotAuthenticated, Other };

    static ZohoError tokenError(const QString &message) { return {Kind::Token, message}; }
    static ZohoError apiError(const QString &message) { return {Kind::Api, message}; }
    static ZohoError notAuthenticated() { return {Kind::NotAuthenticated, {}}; }
    // A transport or parse failure, described by its own text.
    static ZohoError other(const QString &description) { return {Kind::Other, description}; }
    // Zoho no longer accepts the refresh token (revoked, or expired unused).
    static ZohoError accessRevoked()
    {
        return other(QCoreApplication::translate("ZohoError", "Zoho access was revoked: connect again"));
    }

    Kind kind() const { return m_kind; }
    QString message() const { return m_message; }
    QString description() const;

private:
    ZohoError(Kind kind, QString message)
        : m_kind(kind)
        , m_message(std::move(message))
    { }
    Kind m_kind;
    QString m_message;
};

struct ZohoCalendar
{
    QString id;
    QString name;
    QString color = QStringLiteral("#3B82F6");
    bool isDefault = false;

    bool operator==(const ZohoCalendar &other) const = default;
};

struct ZohoEvent
{
    QString id;
    QString calendarId;
    QString title;
    QDateTime startDate;
    QDateTime endDate;
    bool isAllDay = false;
    QColor calendarColor;

    bool operator==(const ZohoEvent &other) const = default;
};

// The blue used where a calendar gives no usable colour.
QColor systemBlue();

// Exactly six hexadecimal digits, with or without "#" (anything that is not a
// letter or digit is trimmed from both ends), as a colour; anything else
// (three or eight digits, "orange") gives nothing.
std::optional<QColor> hexColor(const QString &text);
