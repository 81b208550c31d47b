#pragma once

#include <QColor>
#include <QDateTime>
#include <QString>

#include <optional>

struct ZohoTokens
{
    QString accessToken;
    QString refreshToken;
    QDateTime expiryDate;
};

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
    static ZohoError accessRevoked() { return other(QStringLiteral("Zoho access was revoked: connect again")); }

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
    QString calendarID;
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

// A token from a server goes into a header only when it is visible ASCII:
// no space, CR, LF or other control byte that could end the header.
bool isHeaderSafeToken(const QString &token);

// Zoho's date forms, tried in order: "20261206T100000Z" (or with a numeric
// offset), "20261206T100000" (local), "20261206" (local midnight), ISO 8601.
std::optional<QDateTime> parseZohoDate(const QString &text, const QTimeZone &localZone);
