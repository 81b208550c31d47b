// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoho/ZohoCache.h"

#include "calendar/SafeFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace {

QString instant(const QDateTime &moment)
{
    return moment.toUTC().toString(Qt::ISODateWithMs);
}

std::optional<QDateTime> instantFrom(const QJsonValue &value, const QTimeZone &zone)
{
    if (!value.isString())
        return std::nullopt;
    const QDateTime moment = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!moment.isValid())
        return std::nullopt;
    return moment.toTimeZone(zone);
}

std::optional<ZohoCalendar> calendarFrom(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    const QJsonValue id = object.value(QStringLiteral("id"));
    const QJsonValue name = object.value(QStringLiteral("name"));
    const QJsonValue color = object.value(QStringLiteral("color"));
    const QJsonValue isDefault = object.value(QStringLiteral("default"));
    if (!id.isString() || !name.isString() || !color.isString() || !isDefault.isBool())
        return std::nullopt;
    return ZohoCalendar {id.toString(), name.toString(), color.toString(), isDefault.toBool()};
}

std::optional<ZohoEvent> eventFrom(const QJsonValue &value, const QTimeZone &zone)
{
    const QJsonObject object = value.toObject();
    const QJsonValue id = object.value(QStringLiteral("id"));
    const QJsonValue calendarId = object.value(QStringLiteral("calendar"));
    const QJsonValue title = object.value(QStringLiteral("title"));
    const QJsonValue allDay = object.value(QStringLiteral("allDay"));
    const QJsonValue color = object.value(QStringLiteral("color"));
    const std::optional<QDateTime> start = instantFrom(object.value(QStringLiteral("start")), zone);
    const std::optional<QDateTime> end = instantFrom(object.value(QStringLiteral("end")), zone);
    if (!id.isString() || !calendarId.isString() || !title.isString() || !allDay.isBool() || !color.isString() || !start
        || !end)
        return std::nullopt;
    const std::optional<QColor> calendarColor = hexColor(color.toString());
    if (!calendarColor)
        return std::nullopt;
    return ZohoEvent {
        id.toString(), calendarId.toString(), title.toString(), *start, *end, allDay.toBool(), *calendarColor};
}

} // namespace

QString ZohoCache::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/brivane/zoho-calendars.json");
}

QString ZohoCache::accountKey(const QUrl &accountsUrl, const QUrl &calendarUrl, const QString &clientId)
{
    const QByteArray client = QCryptographicHash::hash(clientId.toUtf8(), QCryptographicHash::Sha256).toHex();
    return accountsUrl.toString(QUrl::FullyEncoded) + QLatin1Char(' ') + calendarUrl.toString(QUrl::FullyEncoded)
        + QLatin1Char(' ') + QString::fromLatin1(client);
}

ZohoCache::ZohoCache(QString path, QString accountKey)
    : m_path(std::move(path))
    , m_accountKey(std::move(accountKey))
{ }

std::optional<ZohoCache::Snapshot> ZohoCache::read(const QTimeZone &zone) const
{
    const SafeFile::Read file = SafeFile::readRegularFile(m_path, MaxBytes);
    if (!file.ok())
        return std::nullopt;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")) != QJsonValue(FormatVersion)
        || root.value(QStringLiteral("account")) != QJsonValue(m_accountKey))
        return std::nullopt;
    const std::optional<QDateTime> synced = instantFrom(root.value(QStringLiteral("synced")), QTimeZone::utc());
    const QJsonValue calendars = root.value(QStringLiteral("calendars"));
    const QJsonValue events = root.value(QStringLiteral("events"));
    if (!synced || !calendars.isArray() || !events.isArray())
        return std::nullopt;
    // Whole or not at all: a part of a sync would show a calendar as empty.
    Snapshot snapshot;
    snapshot.synced = *synced;
    for (const QJsonValue &value : calendars.toArray()) {
        const std::optional<ZohoCalendar> calendar = calendarFrom(value);
        if (!calendar)
            return std::nullopt;
        snapshot.calendars.append(*calendar);
    }
    for (const QJsonValue &value : events.toArray()) {
        const std::optional<ZohoEvent> event = eventFrom(value, zone);
        if (!event)
            return std::nullopt;
        snapshot.events.append(*event);
    }
    return snapshot;
}

bool ZohoCache::write(const Snapshot &snapshot) const
{
    const QString folder = QFileInfo(m_path).path();
    if (const QString problem = SafeFile::checkPrivateFolder(folder); !problem.isEmpty()) {
        qWarning("brivane: cannot keep Zoho's events in %s: %s", qPrintable(folder), qPrintable(problem));
        return false;
    }
    QJsonArray calendars;
    for (const ZohoCalendar &calendar : snapshot.calendars) {
        calendars.append(QJsonObject {{QStringLiteral("id"), calendar.id}, {QStringLiteral("name"), calendar.name},
            {QStringLiteral("color"), calendar.color}, {QStringLiteral("default"), calendar.isDefault}});
    }
    QJsonArray events;
    for (const ZohoEvent &event : snapshot.events) {
        events.append(QJsonObject {{QStringLiteral("id"), event.id}, {QStringLiteral("calendar"), event.calendarId},
            {QStringLiteral("title"), event.title}, {QStringLiteral("start"), instant(event.startDate)},
            {QStringLiteral("end"), instant(event.endDate)}, {QStringLiteral("allDay"), event.isAllDay},
            {QStringLiteral("color"), event.calendarColor.name(QColor::HexRgb)}});
    }
    const QJsonObject root {{QStringLiteral("format"), FormatVersion}, {QStringLiteral("account"), m_accountKey},
        {QStringLiteral("synced"), instant(snapshot.synced)}, {QStringLiteral("calendars"), calendars},
        {QStringLiteral("events"), events}};
    // Titles and times of the user's events: for the user alone.
    SafeFile::WriteOptions options;
    options.mode = 0600;
    options.exactMode = 0600;
    const SafeFile::WriteResult written
        = SafeFile::writeAtomically(m_path, QJsonDocument(root).toJson(QJsonDocument::Compact), options);
    if (!written.ok)
        qWarning("brivane: could not write %s: %s", qPrintable(m_path), qPrintable(written.errorText()));
    return written.ok;
}

void ZohoCache::remove() const
{
    QFile::remove(m_path);
}
