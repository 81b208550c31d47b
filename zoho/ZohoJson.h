// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/ZohoTypes.h"
#include "zoho/ZohoHttp.h"
#include "zoho/ZohoWire.h"

#include <QJsonArray>
#include <QJsonObject>

#include <optional>

class QTimeZone;

// Reading what Zoho's servers answer: every value checked for its type before
// it is used, nothing taken that is not what it should be.
namespace ZohoJson {

// The objects of a list that must be a list of objects; nothing otherwise.
std::optional<QJsonArray> objectList(const QJsonObject &object, const QString &key);

// A calendar object; nothing without a string "uid" and name.
std::optional<ZohoCalendar> calendarFrom(const QJsonObject &object);

// An event object of `calendar`; nothing when a required value is missing,
// of another type or not a date Zoho writes.
std::optional<ZohoEvent> eventFrom(const QJsonObject &object, const ZohoCalendar &calendar, const QTimeZone &zone);

// JSON integers only: "3600" as a string or 3600.5 do not count.
std::optional<qint64> integerOf(const QJsonValue &value);

// What the token endpoint answered: the object, or why it is of no use. Zoho
// reports a refused code or token as {"error": …}, with status 200 or 4xx;
// both read the same.
struct TokenAnswer
{
    QJsonObject object;
    std::optional<ZohoError> error;
    QString zohoError; // the "error" value, when there is one
};

TokenAnswer readTokenAnswer(const ZohoHttp::Reply &reply, const QString &notAnObject);

} // namespace ZohoJson
