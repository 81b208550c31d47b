// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/IcsWriter.h"

#include "calendar/IcsLines.h"
#include "calendar/IcsParser.h"
#include "calendar/RecurrenceExpander.h"
#include "calendar/SafeFile.h"
#include "calendar/TimeZoneRegistry.h"
#include "calendar/ZoneDefinition.h"

#include <libical/ical.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace IcsWriter {
namespace {

using ComponentPtr = std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)>;

QString tr(const char *text)
{
    return QCoreApplication::translate("IcsWriter", text);
}

std::function<void(const QString &)> &beforeCommitHook()
{
    static std::function<void(const QString &)> hook;
    return hook;
}

bool stillHolds(const QString &path, const QByteArray &expected)
{
    if (const auto &hook = beforeCommitHook())
        hook(path);
    const SafeFile::Read current = SafeFile::readRegularFile(path, expected.size());
    return current.ok() && current.data == expected;
}

Outcome failed(const QString &path, const QString &reason)
{
    return {StoreResult::failure(tr("Could not write \"%1\": %2").arg(QFileInfo(path).fileName(), reason)), false};
}

icaltimetype icalDateTime(const QDateTime &value)
{
    icaltimetype time = icaltime_null_time();
    time.year = value.date().year();
    time.month = value.date().month();
    time.day = value.date().day();
    time.hour = value.time().hour();
    time.minute = value.time().minute();
    time.second = value.time().second();
    return time;
}

icaltimetype icalDate(QDate date)
{
    icaltimetype time = icaltime_null_time();
    time.year = date.year();
    time.month = date.month();
    time.day = date.day();
    time.is_date = 1;
    return time;
}

icaltimetype icalUtc(const QDateTime &value)
{
    icaltimetype time = icalDateTime(value.toUTC());
    time.zone = icaltimezone_get_utc_timezone();
    return time;
}

QByteArray ianaIdOf(const QDateTime &value)
{
    switch (value.timeSpec()) {
    case Qt::TimeZone:
        return value.timeZone().id();
    case Qt::LocalTime:
        return QTimeZone::systemTimeZoneId();
    default:
        return {};
    }
}

void addZonedTime(
    icalcomponent *event, icalproperty *(*make)(icaltimetype), const QDateTime &value, const QByteArray &ianaId)
{
    if (ianaId.isEmpty() || ianaId == "UTC") {
        icalcomponent_add_property(event, make(icalUtc(value)));
        return;
    }
    icalproperty *prop = make(icalDateTime(value.toTimeZone(QTimeZone(ianaId))));
    icalproperty_add_parameter(prop, icalparameter_new_tzid(ianaId.constData()));
    icalcomponent_add_property(event, prop);
}

QString uidOf(const QString &seriesKey, int *ordinal)
{
    // "UID#n" names the n-th master sharing that UID in one file ("#n" the
    // n-th without a UID).
    *ordinal = 1;
    const qsizetype hash = seriesKey.lastIndexOf(QLatin1Char('#'));
    if (hash >= 0) {
        bool isNumber = false;
        const int n = seriesKey.mid(hash + 1).toInt(&isNumber);
        if (isNumber && n >= 2) {
            *ordinal = n;
            return seriesKey.left(hash);
        }
    }
    return seriesKey;
}

// The EXDATE line (unfolded) for an occurrence, in the form of the
// master's DTSTART; `tzidParameter` is the DTSTART's TZID parameter as
// written, quotes and all, so that every reader finds the same zone.
QByteArray exdateLine(const IcsTime &start, const QString &recurrenceKey, const QByteArray &tzidParameter)
{
    if (start.isDate()) {
        const QDate date = QDate::fromString(recurrenceKey.left(8), QStringLiteral("yyyyMMdd"));
        return date.isValid() ? "EXDATE;VALUE=DATE:" + date.toString(QStringLiteral("yyyyMMdd")).toLatin1()
                              : QByteArray();
    }
    const QString wallFormat = QStringLiteral("yyyyMMdd'T'HHmmss");
    if (start.kind == TimeKind::Floating) {
        // Floating, or in a zone this program does not know: the wall-clock
        // time, with the TZID kept for the readers that know it.
        const QDateTime wall = QDateTime::fromString(recurrenceKey, wallFormat);
        if (!wall.isValid())
            return {};
        return "EXDATE" + (tzidParameter.isEmpty() ? QByteArray() : ';' + tzidParameter) + ':'
            + wall.toString(wallFormat).toLatin1();
    }
    QDateTime instant = QDateTime::fromString(recurrenceKey, QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    if (!instant.isValid())
        return {};
    instant.setTimeZone(QTimeZone::utc());
    if (start.kind == TimeKind::Utc || !start.zone)
        return "EXDATE:" + instant.toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();
    // Zoned: the wall-clock time of that instant in the series' zone.
    QDateTime wall;
    if (start.zone->isIana()) {
        wall = instant.toTimeZone(start.zone->ianaZone());
    } else {
        const QDateTime utc = instant;
        wall = utc.addSecs(start.zone->toDateTime(utc.date(), utc.time()).offsetFromUtc());
    }
    QByteArray tzid = tzidParameter;
    if (tzid.isEmpty())
        tzid = "TZID=\"" + start.zone->tzid() + '"';
    return "EXDATE;" + tzid + ':' + wall.toString(wallFormat).toLatin1();
}

} // namespace

QByteArray newEventFile(const NewEventRequest &request, const QString &uid, const QDateTime &stamp)
{
    ComponentPtr calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT), &icalcomponent_free);
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//brivane//brivane//EN"));

    icalcomponent *event = icalcomponent_new(ICAL_VEVENT_COMPONENT);
    const QByteArray uidText = uid.toUtf8();
    icalcomponent_add_property(event, icalproperty_new_uid(uidText.constData()));
    icalcomponent_add_property(event, icalproperty_new_dtstamp(icalUtc(stamp)));
    icalcomponent_add_property(event, icalproperty_new_created(icalUtc(stamp)));
    icalcomponent_add_property(event, icalproperty_new_lastmodified(icalUtc(stamp)));
    if (!request.title.isEmpty())
        icalcomponent_add_property(event, icalproperty_new_summary(request.title.toUtf8().constData()));

    if (request.allDay) {
        const QDate first = request.start.date();
        const QDate last = qMax(first, request.end.date());
        icalcomponent_add_property(event, icalproperty_new_dtstart(icalDate(first)));
        icalcomponent_add_property(event, icalproperty_new_dtend(icalDate(last.addDays(1))));
    } else {
        QByteArray ianaId = ianaIdOf(request.start);
        if (!ianaId.isEmpty() && ianaId != "UTC") {
            // Only a name of the zone database is written as the TZID (Qt
            // also takes POSIX rules such as "CET-1CEST,M3.5.0,M10.5.0/3").
            // The zone's offsets from the event's start on: a later move of
            // the event by another program that keeps this definition stays
            // right.
            const QTimeZone zone = TimeZoneRegistry::ianaZoneFor(ianaId);
            icalcomponent *vtimezone = zone.isValid() && zone.id() == ianaId
                ? ZoneDefinition::vtimezone(zone, ianaId, request.start)
                : nullptr;
            if (vtimezone)
                icalcomponent_add_component(calendar.get(), vtimezone);
            else
                ianaId.clear(); // no zone data: an instant in UTC says the same
        }
        const QDateTime end = qMax(request.start, request.end);
        addZonedTime(event, icalproperty_new_dtstart, request.start, ianaId);
        addZonedTime(event, icalproperty_new_dtend, end, ianaId);
    }
    if (!request.location.isEmpty())
        icalcomponent_add_property(event, icalproperty_new_location(request.location.toUtf8().constData()));
    if (!request.notes.isEmpty())
        icalcomponent_add_property(event, icalproperty_new_description(request.notes.toUtf8().constData()));
    if (!request.url.isEmpty())
        icalcomponent_add_property(event, icalproperty_new_url(request.url.toUtf8().constData()));
    icalcomponent_add_component(calendar.get(), event);

    char *text = icalcomponent_as_ical_string_r(calendar.get());
    QByteArray result(text);
    icalmemory_free_buffer(text);
    return result;
}

Edit removeFromFile(
    const QByteArray &content, const QString &seriesKey, const QString &recurrenceKey, const QTimeZone &userZone)
{
    // The file is changed line by line: everything but the lines of the
    // removed components and the added EXDATE stays as it was written,
    // including what this program does not understand. DTSTAMP,
    // LAST-MODIFIED and SEQUENCE are left alone: sync tools and CalDAV
    // servers notice the change by the file's content, and SEQUENCE is the
    // organizer's count of reschedulings (a scheduling server may refuse an
    // attendee's copy that raises it, while an EXDATE there is the allowed
    // way to decline one occurrence).
    Edit edit;
    const QString unreadable = tr("The event's file could not be read completely, so it is left unchanged.");
    const IcsLines::Document document(content);
    QStringList skipped;
    const QByteArray prepared = IcsParser::preparedForParsing(content, skipped);
    ComponentPtr root(icalparser_parse_string(prepared.constData()), &icalcomponent_free);
    if (content.contains('\0') || !skipped.isEmpty() || !document.wellFormed() || !root
        || icalcomponent_isa(root.get()) != ICAL_VCALENDAR_COMPONENT || icalcomponent_count_errors(root.get()) > 0) {
        edit.error = unreadable;
        return edit;
    }
    icalcomponent *calendar = root.get();
    // libical's events and the lines' events, side by side: the same ones
    // in the same order, or the file is not what it seems to either.
    const std::vector<int> topLevel = document.children(-1);
    if (topLevel.size() != 1
        || document.components()[size_t(topLevel.front())].name.compare("VCALENDAR", Qt::CaseInsensitive) != 0) {
        edit.error = unreadable;
        return edit;
    }
    const int calendarComponent = topLevel.front();
    auto isNamed = [&](int component, const char *name) {
        return document.components()[size_t(component)].name.compare(name, Qt::CaseInsensitive) == 0;
    };
    std::vector<int> eventComponents;
    for (int child : document.children(calendarComponent)) {
        if (isNamed(child, "VEVENT"))
            eventComponents.push_back(child);
    }
    std::vector<icalcomponent *> events;
    for (icalcomponent *event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event;
         event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        events.push_back(event);
    if (events.size() != eventComponents.size()) {
        edit.error = unreadable;
        return edit;
    }

    int ordinal = 1;
    const QByteArray uid = uidOf(seriesKey, &ordinal).toUtf8();
    // Find the master (the ordinal-th VEVENT with that UID and no RECURRENCE-ID).
    int master = -1;
    std::vector<size_t> overrides;
    int mastersSeen = 0;
    int mastersWithUid = 0;
    for (size_t i = 0; i < events.size(); ++i) {
        // An event without a UID has the empty one, as the reader sees it.
        const char *eventUid = icalcomponent_get_uid(events[i]);
        if (uid != QByteArrayView(eventUid ? eventUid : ""))
            continue;
        if (icalcomponent_get_first_property(events[i], ICAL_RECURRENCEID_PROPERTY)) {
            overrides.push_back(i);
        } else {
            ++mastersWithUid;
            if (++mastersSeen == ordinal)
                master = int(i);
        }
    }

    IcsLines::Edit lines(document);
    bool removesAny = false;
    auto remove = [&](size_t event) {
        lines.removeComponent(eventComponents[event]);
        removesAny = true;
    };
    if (recurrenceKey.isEmpty()) {
        if (master >= 0)
            remove(size_t(master));
        if (mastersWithUid <= 1) {
            for (size_t event : overrides)
                remove(event);
        }
    } else {
        // Overrides belong to the first master with their UID (as the
        // reader sees them), never to a second one.
        for (size_t event : ordinal == 1 ? overrides : std::vector<size_t>()) {
            icalproperty *rid = icalcomponent_get_first_property(events[event], ICAL_RECURRENCEID_PROPERTY);
            if (RecurrenceExpander::recurrenceKey(IcsParser::timeOfProperty(rid, calendar), userZone) == recurrenceKey)
                remove(event);
        }
        if (master >= 0) {
            // The EXDATE goes after the master's last EXDATE, or after its
            // DTSTART, with the line break that line has.
            icalproperty *dtstart = icalcomponent_get_first_property(events[size_t(master)], ICAL_DTSTART_PROPERTY);
            qsizetype startLine = -1;
            qsizetype after = -1;
            QByteArray tzidParameter;
            for (qsizetype line : document.propertyLines(eventComponents[size_t(master)])) {
                const IcsLines::Property property = IcsLines::parseProperty(document.unfolded(line));
                if (property.isNamed("DTSTART") && startLine < 0) {
                    startLine = line;
                    tzidParameter = property.parameter("TZID");
                } else if (property.isNamed("EXDATE")) {
                    after = line;
                }
            }
            if (after < 0)
                after = startLine;
            const QByteArray exdate = dtstart && after >= 0
                ? exdateLine(IcsParser::timeOfProperty(dtstart, calendar), recurrenceKey, tzidParameter)
                : QByteArray();
            const QByteArray lineBreak = after >= 0 ? document.lineBreak(after) : QByteArray();
            if (exdate.isEmpty() || lineBreak.isEmpty()) {
                edit.error = tr("The occurrence could not be matched to its series.");
                return edit;
            }
            lines.insertAfter(after, IcsLines::folded(exdate, lineBreak));
        }
    }
    if (!removesAny && master < 0) {
        edit.error = tr("The event is no longer in its file.");
        return edit;
    }
    bool entriesRemain = false;
    for (int child : document.children(calendarComponent)) {
        if ((isNamed(child, "VEVENT") || isNamed(child, "VTODO") || isNamed(child, "VJOURNAL"))
            && !lines.removes(child))
            entriesRemain = true;
    }
    edit.ok = true;
    if (entriesRemain)
        edit.content = lines.result();
    else
        edit.deleteFile = true;
    return edit;
}

StoreResult writeAtomically(const QString &path, const QByteArray &content)
{
    SafeFile::WriteOptions options;
    options.replaceExisting = false; // a new event never takes the place of another file
    const SafeFile::WriteResult written = SafeFile::writeAtomically(path, content, options);
    if (!written.ok)
        return failed(path, written.errorText()).result;
    return StoreResult::success();
}

void setBeforeCommitHook(std::function<void(const QString &path)> hook)
{
    beforeCommitHook() = std::move(hook);
}

Outcome replaceIfUnchanged(const QString &path, const QByteArray &expected, const QByteArray &content)
{
    struct stat original;
    if (::stat(QFile::encodeName(path).constData(), &original) != 0)
        return failed(path, SafeFile::writeErrorText(errno));
    SafeFile::WriteOptions options;
    options.exactMode = original.st_mode & 07777;
    options.beforeRename = [&] { return stillHolds(path, expected); };
    const SafeFile::WriteResult written = SafeFile::writeAtomically(path, content, options);
    if (written.abandoned)
        return {StoreResult::failure(tr("The file was changed by another program.")), true};
    if (!written.ok)
        return failed(path, written.errorText());
    return {StoreResult::success(), false};
}

Outcome deleteIfUnchanged(const QString &path, const QByteArray &expected)
{
    if (!stillHolds(path, expected))
        return {StoreResult::failure(tr("The file was changed by another program.")), true};
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        return {StoreResult::failure(
                    tr("Could not delete \"%1\": %2").arg(QFileInfo(path).fileName(), SafeFile::errorText(errno))),
            false};
    return {StoreResult::success(), false};
}

} // namespace IcsWriter
