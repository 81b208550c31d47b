// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoho/ZohoJson.h"

#include "calendar/EventFormatting.h"

#include <QJsonDocument>
#include <QTimeZone>

#include <cmath>

namespace ZohoJson {

std::optional<QJsonArray> objectList(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            return std::nullopt;
    }
    return array;
}

std::optional<ZohoCalendar> calendarFrom(const QJsonObject &object)
{
    const QJsonValue uid = object.value(QStringLiteral("uid"));
    // "calname"; Zoho's published API calls it "name".
    QJsonValue name = object.value(QStringLiteral("calname"));
    if (name.isUndefined())
        name = object.value(QStringLiteral("name"));
    if (!uid.isString() || !name.isString())
        return std::nullopt;
    ZohoCalendar calendar;
    calendar.id = uid.toString();
    calendar.name = name.toString();
    if (const QJsonValue color = object.value(QStringLiteral("color")); color.isString())
        calendar.color = color.toString();
    calendar.isDefault = object.value(QStringLiteral("isdefault")).toBool(false);
    return calendar;
}

std::optional<ZohoEvent> eventFrom(const QJsonObject &object, const ZohoCalendar &calendar, const QTimeZone &zone)
{
    const QJsonValue uid = object.value(QStringLiteral("uid"));
    const QJsonValue title = object.value(QStringLiteral("title"));
    const QJsonValue when = object.value(QStringLiteral("dateandtime"));
    if (!uid.isString() || !title.isString() || !when.isObject())
        return std::nullopt;
    const QJsonObject dateAndTime = when.toObject();
    const QJsonValue start = dateAndTime.value(QStringLiteral("start"));
    const QJsonValue end = dateAndTime.value(QStringLiteral("end"));
    if (!start.isString() || !end.isString())
        return std::nullopt;
    const std::optional<QDateTime> startDate = parseZohoDate(start.toString(), zone);
    const std::optional<QDateTime> endDate = parseZohoDate(end.toString(), zone);
    if (!startDate || !endDate)
        return std::nullopt;
    ZohoEvent event;
    event.id = uid.toString();
    event.calendarId = calendar.id;
    // Kept as it is shown, on one line and bounded.
    event.title = EventFormatting::oneLineTitle(title.toString());
    event.startDate = *startDate;
    event.endDate = *endDate;
    // "allday" as the string "true" in "dateandtime", or Zoho's published
    // form: "isallday" as a boolean on the event.
    event.isAllDay = dateAndTime.value(QStringLiteral("allday")).toString() == QLatin1String("true")
        || object.value(QStringLiteral("isallday")).toBool(false);
    event.calendarColor = hexColor(calendar.color).value_or(systemBlue());
    return event;
}

std::optional<qint64> integerOf(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    // JSON numbers are doubles: beyond 2^53 they are no longer exact
    // integers, and casting one beyond qint64 is undefined.
    constexpr double LargestExact = 9007199254740992.0;
    const double number = value.toDouble();
    if (!(std::fabs(number) <= LargestExact) || number != std::trunc(number))
        return std::nullopt;
    return qint64(number);
}

TokenAnswer readTokenAnswer(const ZohoHttp::Reply &reply, const QString &notAnObject)
{
    if (reply.failed)
        return {{}, ZohoError::other(reply.error), {}};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(reply.body, &parseError);
    const QJsonValue error = document.object().value(QStringLiteral("error"));
    if (error.isString())
        return {{}, ZohoError::tokenError(error.toString()), error.toString()};
    if (reply.status >= 300)
        return {{}, ZohoError::tokenError(ZohoHttp::statusFailure(reply.status, reply.body)), {}};
    if (parseError.error != QJsonParseError::NoError)
        return {{}, ZohoError::tokenError(ZohoHttp::notJsonFailure()), {}};
    if (!document.isObject())
        return {{}, ZohoError::tokenError(notAnObject), {}};
    return {document.object(), std::nullopt, {}};
}

} // namespace ZohoJson
