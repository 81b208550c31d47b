// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the readers of Zoho's answers: the calendar list, the event list,
// the token endpoint's answer, dates, colours and the error excerpts.
#include "zoho/ZohoJson.h"

#include <QJsonDocument>
#include <QTimeZone>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QTimeZone zone("Europe/Berlin");
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    const QJsonObject object = QJsonDocument::fromJson(body).object();

    ZohoCalendar fallback;
    fallback.id = QStringLiteral("work");
    if (const std::optional<QJsonArray> calendars = ZohoJson::objectList(object, QStringLiteral("calendars"))) {
        for (const QJsonValue &value : *calendars) {
            if (const std::optional<ZohoCalendar> calendar = ZohoJson::calendarFrom(value.toObject()))
                fallback = *calendar;
        }
    }
    if (const std::optional<QJsonArray> events = ZohoJson::objectList(object, QStringLiteral("events"))) {
        for (const QJsonValue &value : *events)
            ZohoJson::eventFrom(value.toObject(), fallback, zone);
    }
    for (const int status : {200, 401, 500}) {
        ZohoHttp::Reply reply;
        reply.status = status;
        reply.body = body;
        const ZohoJson::TokenAnswer answer = ZohoJson::readTokenAnswer(reply, QStringLiteral("Invalid response"));
        ZohoJson::integerOf(answer.object.value(QStringLiteral("expires_in")));
        isHeaderSafeToken(answer.object.value(QStringLiteral("access_token")).toString());
    }
    const QString text = QString::fromUtf8(body.left(256));
    parseZohoDate(text, zone);
    hexColor(text);
    ZohoHttp::bodyExcerpt(body);
    return 0;
}
