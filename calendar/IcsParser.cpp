// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/IcsParser.h"

#include "calendar/EventAlarms.h"
#include "calendar/EventFormatting.h"
#include "calendar/RecurrenceRules.h"
#include "calendar/SafeFile.h"
#include "calendar/TimeZoneRegistry.h"
#include "calendar/ZoneOffsets.h"

#include <libical/ical.h>

#include <ctime>
#include <mutex>

#include <QFile>
#include <QHash>
#include <QStringDecoder>

Q_LOGGING_CATEGORY(lcIcs, "brivane.ics")

QDateTime IcsTime::toDateTime(const QTimeZone &userZone) const
{
    switch (kind) {
    case TimeKind::Utc:
        return QDateTime(date, time, QTimeZone::utc());
    case TimeKind::Zoned:
        return zone ? zone->toDateTime(date, time) : ZoneOffsets::dateTimeOf(userZone, date, time);
    case TimeKind::Floating:
        return ZoneOffsets::dateTimeOf(userZone, date, time);
    case TimeKind::Date:
        return ZoneOffsets::dateTimeOf(userZone, date, QTime(0, 0));
    }
    return {};
}

qint64 IcsTime::toMSecs(const QTimeZone &userZone) const
{
    switch (kind) {
    case TimeKind::Utc:
        return QDateTime(date, time, QTimeZone::utc()).toMSecsSinceEpoch();
    case TimeKind::Zoned:
        if (!zone)
            return ZoneOffsets::msecsOf(userZone, date, time);
        return zone->isIana() ? ZoneOffsets::msecsOf(zone->ianaZone(), date, time)
                              : zone->toDateTime(date, time).toMSecsSinceEpoch();
    case TimeKind::Floating:
        return ZoneOffsets::msecsOf(userZone, date, time);
    case TimeKind::Date:
        return ZoneOffsets::msecsOf(userZone, date, QTime(0, 0));
    }
    return 0;
}

IcsTime IcsTime::addDays(qint64 days) const
{
    IcsTime shifted = *this;
    shifted.date = date.addDays(days);
    return shifted;
}

ParsedFile::LazySeries::LazySeries(const LazySeries &other)
    : m_source(other.m_source)
    , m_offset(other.m_offset)
    , m_lengthAndDecoded(other.length())
{
    // Events being decoded on another thread are decoded again here.
    if (other.decoded()) {
        m_series = other.m_series;
        if (m_source)
            m_lengthAndDecoded.fetch_or(DecodedBit, std::memory_order_relaxed);
    }
}

ParsedFile::LazySeries &ParsedFile::LazySeries::operator=(const LazySeries &other)
{
    if (this != &other)
        *this = LazySeries(other);
    return *this;
}

ParsedFile::LazySeries::LazySeries(LazySeries &&other) noexcept
    : m_series(std::move(other.m_series))
    , m_source(std::move(other.m_source))
    , m_offset(other.m_offset)
    , m_lengthAndDecoded(other.m_lengthAndDecoded.load(std::memory_order_acquire))
{ }

ParsedFile::LazySeries &ParsedFile::LazySeries::operator=(LazySeries &&other) noexcept
{
    m_series = std::move(other.m_series);
    m_source = std::move(other.m_source);
    m_offset = other.m_offset;
    m_lengthAndDecoded.store(other.m_lengthAndDecoded.load(std::memory_order_acquire), std::memory_order_release);
    return *this;
}

const std::vector<EventSeries> &ParsedFile::LazySeries::get(const ParsedFile &owner) const
{
    if (decoded())
        return m_series;
    // Decoding is rare (the files a view shows): one lock for all files.
    static std::mutex decoding;
    const std::lock_guard lock(decoding);
    if (!(m_lengthAndDecoded.load(std::memory_order_relaxed) & DecodedBit)) {
        if (std::optional<std::vector<EventSeries>> series = m_source->decode(m_offset, length())) {
            m_series = std::move(*series);
        } else {
            // The file itself is the truth the index was made from.
            qCWarning(lcIcs) << "index records of" << owner.path() << "could not be read again; reading the file";
            m_series = std::move(IcsParser::readFile(owner.path(), owner.calendarId).editSeries());
        }
        m_lengthAndDecoded.fetch_or(DecodedBit, std::memory_order_release);
    }
    return m_series;
}

std::vector<EventSeries> &ParsedFile::LazySeries::edit(const ParsedFile &owner)
{
    get(owner);
    // Edited events no longer match their encoding.
    m_source.reset();
    m_lengthAndDecoded.fetch_and(~DecodedBit, std::memory_order_relaxed);
    return m_series;
}

void ParsedFile::LazySeries::setEncoded(std::shared_ptr<const EncodedSeries> source, quint32 offset, quint32 length)
{
    Q_ASSERT((length & DecodedBit) == 0);
    m_series.clear();
    m_source = std::move(source);
    m_offset = offset;
    m_lengthAndDecoded.store((length & ~DecodedBit) | (m_source ? 0 : DecodedBit), std::memory_order_release);
}

namespace IcsParser {
namespace {

using ComponentPtr = std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)>;

struct FileContext
{
    QHash<QByteArray, icalcomponent *> vtimezones;
    ParsedFile *file = nullptr;
    bool keepDetails = false;
    qint64 ruleCheckDays = RecurrenceRules::CheckedDaysPerFile;
    int rulesTooCostly = 0;

    // Something of the file could not be read: it is never written back.
    void problem(const QString &text)
    {
        file->readComplete = false;
        note(text);
    }
    // Read, but not as written (an end before the start, say).
    void note(const QString &text)
    {
        if (file->problems.size() < 20)
            file->problems.append(text);
    }
};

void collectTimezones(icalcomponent *calendar, FileContext &context)
{
    for (icalcomponent *zone = icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT); zone;
         zone = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT)) {
        if (icalproperty *tzid = icalcomponent_get_first_property(zone, ICAL_TZID_PROPERTY))
            context.vtimezones.insert(QByteArray(icalproperty_get_tzid(tzid)), zone);
    }
}

bool isValidUtf8(const QByteArray &content)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder(content);
    return !decoder.hasError();
}

QString textOf(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QByteArray tzidOf(icalproperty *prop)
{
    icalparameter *param = icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER);
    return param ? QByteArray(icalparameter_get_tzid(param)) : QByteArray();
}

// Converts one libical time, with the TZID of its property, to our record.
// Libical's own zone lookup is bypassed on purpose: it loads zone files per
// call and is not safe across the parsing threads.
IcsTime icsTimeOf(const icaltimetype &value, const QByteArray &tzid, FileContext &context)
{
    IcsTime result;
    const QDate date(value.year, value.month, value.day);
    if (!date.isValid() || icaltime_is_null_time(value))
        return result;
    result.date = date;
    if (value.is_date) {
        result.kind = TimeKind::Date;
        return result;
    }
    // A leap second (":60") is read as the second before it.
    result.time = QTime(value.hour, value.minute, qMin(value.second, 59));
    if (!result.time.isValid()) {
        result.date = {};
        return result;
    }
    if (icaltime_is_utc(value)) {
        result.kind = TimeKind::Utc;
    } else if (!tzid.isEmpty()) {
        QString zoneProblem;
        const ResolvedZone *zone
            = TimeZoneRegistry::instance().resolve(tzid, context.vtimezones.value(tzid), &zoneProblem);
        if (!zoneProblem.isEmpty())
            context.note(zoneProblem);
        if (zone) {
            result.kind = TimeKind::Zoned;
            result.zone = zone;
        } else {
            context.problem(
                QStringLiteral("unknown time zone \"%1\", read as local time").arg(QString::fromUtf8(tzid)));
        }
    }
    return result;
}

IcsTime timeProperty(icalcomponent *event, icalproperty_kind kind, FileContext &context)
{
    icalproperty *prop = icalcomponent_get_first_property(event, kind);
    if (!prop)
        return {};
    icalvalue *value = icalproperty_get_value(prop);
    if (!value)
        return {};
    const icalvalue_kind valueKind = icalvalue_isa(value);
    if (valueKind != ICAL_DATETIME_VALUE && valueKind != ICAL_DATE_VALUE)
        return {};
    return icsTimeOf(icalvalue_get_datetime(value), tzidOf(prop), context);
}

// RDATE and EXDATE: libical hands each listed value over as its own property.
void collectTimes(icalcomponent *event, icalproperty_kind kind, FileContext &context, QList<IcsTime> &times,
    QList<IcsTime> *periodEnds)
{
    for (icalproperty *prop = icalcomponent_get_first_property(event, kind); prop;
         prop = icalcomponent_get_next_property(event, kind)) {
        const QByteArray tzid = tzidOf(prop);
        icaltimetype start = icaltime_null_time();
        icaltimetype end = icaltime_null_time();
        if (kind == ICAL_RDATE_PROPERTY) {
            const icaldatetimeperiodtype period = icalproperty_get_rdate(prop);
            if (!icaltime_is_null_time(period.time)) {
                start = period.time;
            } else {
                start = period.period.start;
                end = period.period.end;
                if (icaltime_is_null_time(end) && !icaldurationtype_is_null_duration(period.period.duration))
                    end = icaltime_add(start, period.period.duration);
            }
        } else {
            start = icalproperty_get_exdate(prop);
        }
        const IcsTime time = icsTimeOf(start, tzid, context);
        if (!time.isValid()) {
            context.problem(QStringLiteral("unreadable %1 value skipped")
                                .arg(kind == ICAL_RDATE_PROPERTY ? QStringLiteral("RDATE") : QStringLiteral("EXDATE")));
            continue;
        }
        times.append(time);
        if (periodEnds)
            periodEnds->append(icsTimeOf(end, tzid, context));
    }
}

// Fills the duration fields from DTEND or DURATION.
void readDuration(icalcomponent *event, EventRecord &record, FileContext &context)
{
    const IcsTime end = timeProperty(event, ICAL_DTEND_PROPERTY, context);
    if (end.isValid()) {
        if (record.start.isDate()) {
            record.durationDays = qint32(qMax<qint64>(0, record.start.date.daysTo(end.date)));
        } else {
            // Any zone gives the exact length, as long as both ends use it.
            const QTimeZone reference = QTimeZone::utc();
            const qint64 seconds = record.start.toDateTime(reference).secsTo(end.toDateTime(reference));
            record.durationSeconds = qBound<qint64>(0, seconds, EventRecord::MaxDurationSeconds);
            if (seconds < 0)
                context.note(QStringLiteral("\"%1\" ends before it starts; read without length").arg(record.uid));
        }
    } else if (icalproperty *prop = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
        const icaldurationtype duration = icalproperty_get_duration(prop);
        if (!duration.is_neg) {
            // libical's fields are unsigned ints: "P999999999W" must not wrap.
            const qint64 days = qint64(duration.weeks) * 7 + duration.days;
            const qint64 seconds
                = qint64(duration.hours) * 3600 + qint64(duration.minutes) * 60 + qint64(duration.seconds);
            record.durationDays = qint32(qMin(days, qint64(EventRecord::MaxDurationDays)));
            record.durationSeconds = qMin<qint64>(seconds, EventRecord::MaxDurationSeconds);
        }
    } else if (record.start.isDate()) {
        record.durationDays = 1; // a DATE start alone is one whole day
    }
    if (record.start.isDate()) {
        // All-day events keep whole days; a timed part of a DURATION rounds up.
        const qint64 days = qint64(record.durationDays) + (record.durationSeconds + 86399) / 86400;
        record.durationSeconds = 0;
        record.durationDays = qint32(qBound(qint64(1), days, qint64(EventRecord::MaxDurationDays)));
    }
}

bool readEvent(icalcomponent *event, EventRecord &record, FileContext &context)
{
    record.uid = textOf(icalcomponent_get_uid(event));
    record.start = timeProperty(event, ICAL_DTSTART_PROPERTY, context);
    if (!record.start.isValid()) {
        context.problem(QStringLiteral("event \"%1\" without a readable DTSTART skipped").arg(record.uid));
        return false;
    }
    if (icalproperty *prop = icalcomponent_get_first_property(event, ICAL_SUMMARY_PROPERTY)) {
        // Kept as it is shown, on one line and bounded: the file keeps it whole.
        record.title = EventFormatting::oneLineTitleFromUtf8(icalproperty_get_summary(prop));
        record.hasTitle = !record.title.trimmed().isEmpty();
    }
    if (context.keepDetails) {
        auto details = std::make_shared<RecordDetails>();
        if (icalproperty *prop = icalcomponent_get_first_property(event, ICAL_DESCRIPTION_PROPERTY))
            details->notes = textOf(icalproperty_get_description(prop));
        if (icalproperty *prop = icalcomponent_get_first_property(event, ICAL_LOCATION_PROPERTY))
            details->location = textOf(icalproperty_get_location(prop));
        if (icalproperty *prop = icalcomponent_get_first_property(event, ICAL_URL_PROPERTY))
            details->url = textOf(icalproperty_get_url(prop));
        details->alarms = EventAlarms::read(event);
        record.details = std::move(details);
    }
    if (icalproperty *prop = icalcomponent_get_first_property(event, ICAL_STATUS_PROPERTY))
        record.cancelled = icalproperty_get_status(prop) == ICAL_STATUS_CANCELLED;
    if (icalproperty *prop = icalcomponent_get_first_property(event, ICAL_SEQUENCE_PROPERTY))
        record.sequence = icalproperty_get_sequence(prop);
    readDuration(event, record, context);

    record.recurrenceId = timeProperty(event, ICAL_RECURRENCEID_PROPERTY, context);
    if (record.recurrenceId.isValid())
        return true; // an override repeats nothing of its own

    RecurrenceSet repetition;
    // Several RRULEs are rare but allowed: their occurrences are combined.
    for (icalproperty *prop = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); prop;
         prop = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
        icalrecurrencetype rule = icalproperty_get_rrule(prop);
        if (rule.freq == ICAL_NO_RECURRENCE) {
            context.problem(QStringLiteral("unreadable RRULE of \"%1\" skipped").arg(record.uid));
            continue;
        }
        char *text = icalrecurrencetype_as_string_r(&rule);
        repetition.rrules.append(QByteArray(text));
        icalmemory_free_buffer(text);
        const RecurrenceRules::Plan plan = RecurrenceRules::planFor(rule, record.start.date, context.ruleCheckDays);
        if (plan == RecurrenceRules::Plan::TooCostlyToCheck)
            ++context.rulesTooCostly;
        repetition.rrulePlans.append(plan);
    }
    collectTimes(event, ICAL_RDATE_PROPERTY, context, repetition.rdates, &repetition.rdateEnds);
    collectTimes(event, ICAL_EXDATE_PROPERTY, context, repetition.exdates, nullptr);
    if (!repetition.isEmpty())
        record.recurrence = std::make_shared<const RecurrenceSet>(std::move(repetition));
    return true;
}

bool sameTime(const IcsTime &a, const IcsTime &b)
{
    return a.date == b.date && a.time == b.time && a.kind == b.kind && a.zone == b.zone;
}

// Two overrides of one occurrence: the higher SEQUENCE wins, else the later one.
void addOverride(EventSeries &series, EventRecord &&override)
{
    for (EventRecord &existing : series.overrides) {
        if (sameTime(existing.recurrenceId, override.recurrenceId)) {
            if (override.sequence >= existing.sequence)
                existing = std::move(override);
            return;
        }
    }
    series.overrides.push_back(std::move(override));
}

void readCalendar(icalcomponent *calendar, FileContext &context, QHash<QString, int> &seriesByUid)
{
    ParsedFile &file = *context.file;
    collectTimezones(calendar, context);

    // Masters first, so that overrides find them wherever they stand.
    std::vector<EventRecord> overrides;
    for (icalcomponent *event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event;
         event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        EventRecord record;
        if (!readEvent(event, record, context))
            continue;
        if (record.recurrenceId.isValid()) {
            overrides.push_back(std::move(record));
            continue;
        }
        EventSeries series;
        series.hasMaster = true;
        series.key = record.uid;
        // Two masters with one UID in one file: keep both, distinctly.
        for (int n = 2; seriesByUid.contains(series.key); ++n)
            series.key = record.uid + QLatin1Char('#') + QString::number(n);
        series.master = std::move(record);
        seriesByUid.insert(series.key, int(file.editSeries().size()));
        file.editSeries().push_back(std::move(series));
    }
    for (EventRecord &override : overrides) {
        const auto it = seriesByUid.constFind(override.uid);
        if (it != seriesByUid.constEnd()) {
            addOverride(file.editSeries()[size_t(*it)], std::move(override));
            continue;
        }
        EventSeries orphan;
        orphan.key = override.uid;
        orphan.overrides.push_back(std::move(override));
        seriesByUid.insert(orphan.key, int(file.editSeries().size()));
        file.editSeries().push_back(std::move(orphan));
    }
}

struct LogicalLine
{
    qsizetype start = 0; // first byte of the first physical line
    qsizetype end = 0; // one past the last byte, line break included
    qsizetype longestPhysical = 0;
    int parameters = 0;
};

// The content lines of the text, unfolded in thought only: where each begins
// and ends, its longest physical line and how many parameters its name part
// carries (semicolons before the first colon outside quotes).
template<typename Visit> void forEachLogicalLine(const QByteArray &content, Visit visit)
{
    const char *data = content.constData();
    const qsizetype size = content.size();
    LogicalLine line;
    bool inName = true;
    bool quoted = false;
    qsizetype physicalStart = 0;
    for (qsizetype i = 0; i < size;) {
        const char *newline = static_cast<const char *>(memchr(data + i, '\n', size_t(size - i)));
        const qsizetype lineEnd = newline ? newline - data + 1 : size;
        const bool continuation = i > 0 && (data[i] == ' ' || data[i] == '\t');
        if (!continuation && i > 0) {
            visit(line);
            line = LogicalLine {i, i, 0, 0};
            inName = true;
            quoted = false;
        }
        physicalStart = i;
        for (qsizetype j = i; inName && j < lineEnd; ++j) {
            const char c = data[j];
            if (c == '"')
                quoted = !quoted;
            else if (!quoted && c == ';')
                ++line.parameters;
            else if (!quoted && c == ':')
                inName = false;
        }
        line.longestPhysical = qMax(line.longestPhysical, lineEnd - physicalStart);
        line.end = lineEnd;
        i = lineEnd;
    }
    if (line.end > line.start)
        visit(line);
}

} // namespace

QByteArray preparedForParsing(const QByteArray &content, QStringList &problems)
{
    bool needsRewrite = false;
    forEachLogicalLine(content, [&](const LogicalLine &line) {
        needsRewrite = needsRewrite || line.longestPhysical > MaxPhysicalLineLength
            || line.parameters > MaxParametersPerProperty;
    });
    if (!needsRewrite)
        return content;

    QByteArray result;
    result.reserve(content.size() + content.size() / 64);
    int dropped = 0;
    forEachLogicalLine(content, [&](const LogicalLine &line) {
        if (line.parameters > MaxParametersPerProperty) {
            ++dropped;
            return;
        }
        // Fold long physical lines; a fold ("\r\n ") disappears again when
        // libical unfolds, so the value stays byte for byte what it was.
        qsizetype pos = line.start;
        while (pos < line.end) {
            const char *newline
                = static_cast<const char *>(memchr(content.constData() + pos, '\n', size_t(line.end - pos)));
            const qsizetype physicalEnd = newline ? newline - content.constData() + 1 : line.end;
            qsizetype chunkStart = pos;
            while (physicalEnd - chunkStart > MaxPhysicalLineLength) {
                result.append(content.constData() + chunkStart, MaxPhysicalLineLength / 2);
                result.append("\r\n ");
                chunkStart += MaxPhysicalLineLength / 2;
            }
            result.append(content.constData() + chunkStart, physicalEnd - chunkStart);
            pos = physicalEnd;
        }
    });
    if (dropped > 0)
        problems.append(QStringLiteral("%1 propert%2 with more than %3 parameters skipped")
                            .arg(dropped)
                            .arg(dropped == 1 ? QStringLiteral("y") : QStringLiteral("ies"))
                            .arg(MaxParametersPerProperty));
    return result;
}

ParsedFile parse(const QString &path, const QString &calendarId, const QByteArray &content, Details details)
{
    ParsedFile file;
    file.pathUtf8 = SafeFile::encodedPath(path);
    file.calendarId = calendarId;
    file.size = content.size();
    file.contentHash = qHash(content);
    FileContext context;
    context.file = &file;
    context.keepDetails = details == Details::Keep;

    if (content.size() > MaxFileSize) {
        context.problem(QStringLiteral("file of %1 bytes is too large to read").arg(content.size()));
        return file;
    }
    if (content.contains('\0')) {
        context.problem(QStringLiteral("binary data, not an iCalendar file"));
        return file;
    }
    if (!isValidUtf8(content))
        context.problem(QStringLiteral("text that is not valid UTF-8"));
    if (!content.contains("BEGIN:VEVENT") && !content.contains("begin:vevent")) {
        // Tasks and journals share calendar folders with events; they are
        // simply not shown. Anything else is not a calendar file.
        if (!content.contains("BEGIN:VCALENDAR") && !content.contains("begin:vcalendar"))
            context.problem(QStringLiteral("not an iCalendar file"));
        return file;
    }

    QStringList skipped;
    const QByteArray prepared = preparedForParsing(content, skipped);
    for (const QString &text : std::as_const(skipped))
        context.problem(text);
    ComponentPtr root(icalparser_parse_string(prepared.constData()), &icalcomponent_free);
    if (!root) {
        context.problem(QStringLiteral("not an iCalendar file"));
        return file;
    }
    if (icalcomponent_count_errors(root.get()) > 0)
        context.problem(QStringLiteral("parts of the file could not be parsed"));

    QHash<QString, int> seriesByUid;
    switch (icalcomponent_isa(root.get())) {
    case ICAL_VCALENDAR_COMPONENT:
    case ICAL_VEVENT_COMPONENT:
        if (icalcomponent_isa(root.get()) == ICAL_VEVENT_COMPONENT) {
            // A bare VEVENT: wrap it so the same reader applies.
            ComponentPtr wrapper(icalcomponent_new(ICAL_VCALENDAR_COMPONENT), &icalcomponent_free);
            icalcomponent_add_component(wrapper.get(), root.release());
            root = std::move(wrapper);
        }
        readCalendar(root.get(), context, seriesByUid);
        break;
    case ICAL_XROOT_COMPONENT:
        for (icalcomponent *calendar = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
             calendar; calendar = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
            readCalendar(calendar, context, seriesByUid);
        break;
    default:
        context.problem(QStringLiteral("no VCALENDAR in this file"));
        break;
    }
    if (context.rulesTooCostly > 0)
        context.note(QStringLiteral("%1 repeating rule(s) too costly to check, shown at their start only")
                         .arg(context.rulesTooCostly));
    if (file.series().empty() && file.problems.isEmpty())
        context.problem(QStringLiteral("no readable VEVENT in this file"));
    return file;
}

ParsedFile readFile(const QString &path, const QString &calendarId, Details details)
{
    SafeFile::Read read = SafeFile::readRegularFile(path, MaxFileSize);
    if (!read.ok()) {
        ParsedFile file;
        file.pathUtf8 = SafeFile::encodedPath(path);
        file.calendarId = calendarId;
        file.size = read.size;
        file.readComplete = false;
        file.problems.append(read.error);
        return file;
    }
    ParsedFile file = parse(path, calendarId, read.data, details);
    file.stamp = read.stamp;
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    file.readAtNs = qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    return file;
}

IcsTime timeOfProperty(icalproperty *property, icalcomponent *calendar)
{
    ParsedFile scratch;
    FileContext context;
    context.file = &scratch;
    collectTimezones(calendar, context);
    icalvalue *value = icalproperty_get_value(property);
    if (!value || (icalvalue_isa(value) != ICAL_DATETIME_VALUE && icalvalue_isa(value) != ICAL_DATE_VALUE))
        return {};
    return icsTimeOf(icalvalue_get_datetime(value), tzidOf(property), context);
}

void reportProblems(const ParsedFile &file)
{
    if (file.problems.isEmpty())
        return;
    qCWarning(lcIcs).noquote() << file.path() << ":" << file.problems.join(QStringLiteral("; "));
}

} // namespace IcsParser
