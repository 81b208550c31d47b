// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/PersistentIndex.h"

#include "calendar/RecurrenceRules.h"
#include "calendar/SafeFile.h"
#include "calendar/TimeZoneRegistry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include <libical/ical.h>

Q_LOGGING_CATEGORY(lcTiming, "brivane.timing", QtWarningMsg)

namespace PersistentIndex {
namespace {

constexpr char Magic[8] = {'B', 'R', 'V', 'I', 'N', 'D', 'E', 'X'};
constexpr qsizetype ChecksumBytes = 8;
static_assert(HeaderBytes == sizeof(Magic) + 4 + 8 + ChecksumBytes);
constexpr quint32 NoZone = 0xffffffffu;

// Catches damage (a torn write, a flipped bit), not forgery: the index lives
// in the user's own cache. Four independent lanes of multiply-rotate, so it
// runs at memory speed; a cryptographic hash took longer than reading the
// records.
quint64 checksumOf(const char *data, qsizetype size)
{
    constexpr quint64 Prime1 = 0x9E3779B185EBCA87ULL;
    constexpr quint64 Prime2 = 0xC2B2AE3D27D4EB4FULL;
    auto round = [](quint64 lane, quint64 word) {
        lane += word * Prime2;
        lane = (lane << 31) | (lane >> 33);
        return lane * Prime1;
    };
    quint64 lanes[4] = {Prime1, Prime2, 0, Prime1 ^ Prime2};
    qsizetype i = 0;
    for (; i + 32 <= size; i += 32) {
        for (int lane = 0; lane < 4; ++lane) {
            quint64 word;
            std::memcpy(&word, data + i + 8 * lane, 8);
            lanes[lane] = round(lanes[lane], word);
        }
    }
    quint64 hash = quint64(size);
    for (const quint64 lane : lanes)
        hash = round(hash ^ lane, lane);
    for (; i < size; ++i)
        hash = round(hash, quint8(data[i]));
    hash ^= hash >> 29;
    hash *= Prime1;
    return hash ^ (hash >> 32);
}

// Fixed-width little-endian numbers, strings as a length and UTF-16 units.
class Writer
{
public:
    QByteArray bytes;

    template<typename T> void number(T value)
    {
        static_assert(std::is_integral_v<T>);
        char raw[sizeof(T)];
        for (size_t i = 0; i < sizeof(T); ++i)
            raw[i] = char((quint64(value) >> (8 * i)) & 0xff);
        bytes.append(raw, sizeof(T));
    }
    void boolean(bool value) { number<quint8>(value ? 1 : 0); }
    void text(const QString &value)
    {
        number<quint32>(quint32(value.size()));
        bytes.append(reinterpret_cast<const char *>(value.utf16()), value.size() * 2);
    }
    // The events' own texts, kept encoded in memory: UTF-8 is half the size.
    void utf8(const QString &value) { data(value.toUtf8()); }
    void data(const QByteArray &value)
    {
        number<quint32>(quint32(value.size()));
        bytes.append(value);
    }
};

// Every read checks what is left; the first failure sticks, and everything
// read after it is zero or empty.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes)
        : m_bytes(bytes)
    { }

    bool failed() const { return m_failed; }
    bool atEnd() const { return m_position == m_bytes.size(); }
    qsizetype position() const { return m_position; }
    qsizetype remaining() const { return m_bytes.size() - m_position; }
    void fail() { m_failed = true; }

    template<typename T> T number()
    {
        static_assert(std::is_integral_v<T>);
        if (!take(sizeof(T)))
            return 0;
        quint64 value = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            value |= quint64(quint8(m_bytes[m_position - qsizetype(sizeof(T)) + qsizetype(i)])) << (8 * i);
        return T(value);
    }
    bool boolean()
    {
        const quint8 value = number<quint8>();
        if (value > 1)
            fail();
        return value == 1;
    }
    QString text()
    {
        const quint32 units = number<quint32>();
        if (!take(qsizetype(units) * 2))
            return {};
        QString value(qsizetype(units), Qt::Uninitialized);
        std::memcpy(value.data(), m_bytes.data() + m_position - qsizetype(units) * 2, size_t(units) * 2);
        return value;
    }
    QString utf8()
    {
        const quint32 size = number<quint32>();
        if (!take(qsizetype(size)))
            return {};
        return QString::fromUtf8(m_bytes.data() + m_position - size, size);
    }
    void skipData()
    {
        const quint32 size = number<quint32>();
        take(qsizetype(size));
    }
    QByteArray data()
    {
        const quint32 size = number<quint32>();
        if (!take(qsizetype(size)))
            return {};
        return QByteArray(m_bytes.data() + m_position - size, size);
    }
    // A count of items each at least `minimumBytes` long: more than could
    // fit in what is left is damage, and allocating for it is never tried.
    quint32 count(qsizetype minimumBytes)
    {
        const quint32 n = number<quint32>();
        if (m_failed || qsizetype(n) * minimumBytes > remaining()) {
            fail();
            return 0;
        }
        return n;
    }

private:
    bool take(qsizetype size)
    {
        if (m_failed || size < 0 || size > remaining()) {
            m_failed = true;
            return false;
        }
        m_position += size;
        return true;
    }

    QByteArrayView m_bytes;
    qsizetype m_position = 0;
    bool m_failed = false;
};

class ZoneTable
{
public:
    // Takes another index's table whole, in its order, so that its records
    // can be copied as they are.
    void seed(const std::vector<const ResolvedZone *> &zones)
    {
        m_zones = zones;
        for (size_t i = 0; i < zones.size(); ++i) {
            if (!m_indexes.contains(zones[i]))
                m_indexes.insert(zones[i], quint32(i));
        }
    }
    quint32 indexOf(const ResolvedZone *zone)
    {
        if (!zone)
            return NoZone;
        auto it = m_indexes.constFind(zone);
        if (it == m_indexes.constEnd()) {
            it = m_indexes.insert(zone, quint32(m_zones.size()));
            m_zones.push_back(zone);
        }
        return *it;
    }
    const std::vector<const ResolvedZone *> &zones() const { return m_zones; }

private:
    QHash<const ResolvedZone *, quint32> m_indexes;
    std::vector<const ResolvedZone *> m_zones;
};

constexpr qint64 NoTime = -1;

void writeTime(Writer &out, ZoneTable &zones, const IcsTime &time)
{
    out.number<qint64>(time.date.isValid() ? time.date.toJulianDay() : std::numeric_limits<qint64>::min());
    out.number<qint32>(time.time.isValid() ? time.time.msecsSinceStartOfDay() : qint32(NoTime));
    out.number<quint8>(quint8(time.kind));
    out.number<quint32>(time.kind == TimeKind::Zoned ? zones.indexOf(time.zone) : NoZone);
}

void writeTimes(Writer &out, ZoneTable &zones, const QList<IcsTime> &times)
{
    out.number<quint32>(quint32(times.size()));
    for (const IcsTime &time : times)
        writeTime(out, zones, time);
}

void writeRecord(Writer &out, ZoneTable &zones, const EventRecord &record)
{
    out.utf8(record.uid);
    out.utf8(record.title);
    out.boolean(record.hasTitle);
    writeTime(out, zones, record.start);
    out.number<qint32>(record.durationDays);
    out.number<qint64>(record.durationSeconds);
    const RecurrenceSet &repetition = record.repetition();
    out.number<quint32>(quint32(repetition.rrules.size()));
    for (qsizetype i = 0; i < repetition.rrules.size(); ++i) {
        out.data(repetition.rrules[i]);
        out.number<quint8>(quint8(repetition.rrulePlans.value(i)));
    }
    writeTimes(out, zones, repetition.rdates);
    writeTimes(out, zones, repetition.rdateEnds);
    writeTimes(out, zones, repetition.exdates);
    writeTime(out, zones, record.recurrenceId);
    out.boolean(record.cancelled);
    out.number<qint32>(record.sequence);
}

constexpr qsizetype TimeBytes = 8 + 4 + 1 + 4;

IcsTime readTime(Reader &in, const std::vector<const ResolvedZone *> &zones, bool mayBeNull)
{
    IcsTime time;
    const qint64 julianDay = in.number<qint64>();
    const qint32 msecs = in.number<qint32>();
    const quint8 kind = in.number<quint8>();
    const quint32 zone = in.number<quint32>();
    if (julianDay == std::numeric_limits<qint64>::min()) {
        if (!mayBeNull)
            in.fail();
        return time;
    }
    // Dates outside what any calendar holds are damage (and QDate's own range).
    if (julianDay < QDate(1, 1, 1).toJulianDay() || julianDay > QDate(9999, 12, 31).toJulianDay()
        || kind > quint8(TimeKind::Date) || msecs < NoTime || msecs >= 24 * 3600 * 1000) {
        in.fail();
        return time;
    }
    time.date = QDate::fromJulianDay(julianDay);
    time.kind = TimeKind(kind);
    if (time.kind == TimeKind::Date) {
        if (msecs != NoTime)
            in.fail();
    } else if (msecs == NoTime) {
        in.fail();
    } else {
        time.time = QTime::fromMSecsSinceStartOfDay(msecs);
    }
    if (time.kind == TimeKind::Zoned) {
        if (zone >= zones.size())
            in.fail();
        else
            time.zone = zones[zone];
    } else if (zone != NoZone) {
        in.fail();
    }
    return time;
}

QList<IcsTime> readTimes(Reader &in, const std::vector<const ResolvedZone *> &zones, bool mayBeNull)
{
    const quint32 n = in.count(TimeBytes);
    QList<IcsTime> times;
    times.reserve(n);
    for (quint32 i = 0; i < n && !in.failed(); ++i)
        times.append(readTime(in, zones, mayBeNull));
    return times;
}

quint32 skipTimes(Reader &in, const std::vector<const ResolvedZone *> &zones, bool mayBeNull)
{
    const quint32 n = in.count(TimeBytes);
    for (quint32 i = 0; i < n && !in.failed(); ++i)
        readTime(in, zones, mayBeNull);
    return n;
}

constexpr qsizetype MinimumRecordBytes = 4 + 4 + 1 + TimeBytes + 4 + 8 + 4 * 4 + TimeBytes + 1 + 4;

// Whether a record is only checked (when the index is read) or kept (when
// its file's events are first asked for).
enum class Records : bool { Check, Keep };

// `ruleCheckDays`: the file's allowance for checking rules, as the parser has it.
template<Records mode>
EventRecord readRecord(Reader &in, const std::vector<const ResolvedZone *> &zones, qint64 &ruleCheckDays)
{
    constexpr bool keep = mode == Records::Keep;
    EventRecord record;
    if constexpr (keep) {
        record.uid = in.utf8();
        record.title = in.utf8();
    } else {
        in.skipData();
        in.skipData();
    }
    record.hasTitle = in.boolean();
    record.start = readTime(in, zones, false);
    record.durationDays = in.number<qint32>();
    record.durationSeconds = in.number<qint64>();
    RecurrenceSet repetition;
    const quint32 rules = in.count(4 + 1);
    for (quint32 i = 0; i < rules && !in.failed(); ++i) {
        const QByteArray text = in.data();
        if (in.number<quint8>() > quint8(RecurrenceRules::Plan::TooCostlyToCheck))
            in.fail();
        if (in.failed())
            break;
        // How a rule is expanded is worked out again, not taken from the
        // index: a plan that does not fit its rule could hand libical a rule
        // it takes hours over.
        RecurrenceRules::ParsedRule parsed(text);
        if (parsed.get().freq == ICAL_NO_RECURRENCE) {
            in.fail();
            break;
        }
        if constexpr (keep) {
            repetition.rrules.append(text);
            repetition.rrulePlans.append(RecurrenceRules::planFor(parsed.get(), record.start.date, ruleCheckDays));
        }
    }
    qsizetype rdates = 0;
    qsizetype rdateEnds = 0;
    if constexpr (keep) {
        repetition.rdates = readTimes(in, zones, false);
        // A period's end is present, or null for a plain date.
        repetition.rdateEnds = readTimes(in, zones, true);
        repetition.exdates = readTimes(in, zones, false);
        rdates = repetition.rdates.size();
        rdateEnds = repetition.rdateEnds.size();
    } else {
        rdates = skipTimes(in, zones, false);
        rdateEnds = skipTimes(in, zones, true);
        skipTimes(in, zones, false);
    }
    record.recurrenceId = readTime(in, zones, true);
    record.cancelled = in.boolean();
    record.sequence = in.number<qint32>();
    // Only lengths the parser can give: others would overflow later sums.
    if (record.durationDays < 0 || record.durationDays > EventRecord::MaxDurationDays || record.durationSeconds < 0
        || record.durationSeconds > EventRecord::MaxDurationSeconds || rdateEnds != rdates)
        in.fail();
    if (keep && !repetition.isEmpty())
        record.recurrence = std::make_shared<const RecurrenceSet>(std::move(repetition));
    return record;
}

// What the stored occurrences of a file may point at.
struct SeriesShape
{
    bool hasMaster = false;
    size_t overrides = 0;
};

// A file's events: checked, with their shapes noted in `shapes`, or kept.
template<Records mode>
std::vector<EventSeries> readSeries(
    Reader &in, const std::vector<const ResolvedZone *> &zones, std::vector<SeriesShape> *shapes)
{
    constexpr bool keep = mode == Records::Keep;
    std::vector<EventSeries> all;
    qint64 ruleCheckDays = RecurrenceRules::CheckedDaysPerFile;
    const quint32 seriesCount = in.count(4 + 1 + 4);
    if constexpr (keep)
        all.reserve(seriesCount);
    for (quint32 i = 0; i < seriesCount && !in.failed(); ++i) {
        EventSeries series;
        const bool keyIsUid = in.boolean();
        if (!keyIsUid) {
            if constexpr (keep)
                series.key = in.utf8();
            else
                in.skipData();
        }
        series.hasMaster = in.boolean();
        if (series.hasMaster)
            series.master = readRecord<mode>(in, zones, ruleCheckDays);
        if (keyIsUid) {
            if (!series.hasMaster)
                in.fail();
            series.key = series.master.uid;
        }
        const quint32 overrides = in.count(MinimumRecordBytes);
        for (quint32 j = 0; j < overrides && !in.failed(); ++j) {
            EventRecord override = readRecord<mode>(in, zones, ruleCheckDays);
            if (!override.recurrenceId.isValid())
                in.fail();
            if constexpr (keep)
                series.overrides.push_back(std::move(override));
        }
        if (!series.hasMaster && overrides == 0)
            in.fail();
        if constexpr (keep)
            all.push_back(std::move(series));
        else
            shapes->push_back({series.hasMaster, overrides});
    }
    return all;
}

// The records of one index: each file taken from it decodes its events from
// here when they are first asked for. While the index is read they are in
// memory; an index read from a file then reads them from the still open file
// as they are asked for, so the store does not keep a copy of them.
class IndexRecords final : public EncodedSeries
{
public:
    IndexRecords(QByteArray bytes, qsizetype payloadStart)
        : m_bytes(std::move(bytes))
        , m_payloadStart(payloadStart)
    { }

    // While the records are in memory.
    QByteArrayView payload() const { return QByteArrayView(m_bytes).sliced(m_payloadStart); }
    std::vector<const ResolvedZone *> zones;

    std::optional<std::vector<EventSeries>> decode(quint32 offset, quint32 length) const override
    {
        QByteArray buffer;
        const std::optional<QByteArrayView> bytes = slice(offset, length, buffer);
        if (!bytes)
            return std::nullopt;
        Reader in(*bytes);
        std::vector<EventSeries> series = readSeries<Records::Keep>(in, zones, nullptr);
        if (in.failed() || !in.atEnd())
            return std::nullopt;
        return series;
    }

    // All the records, for copying many of them (a write): shares the bytes
    // in memory, or reads them from the file at once. Empty when the file
    // no longer holds them.
    QByteArray all() const
    {
        if (!m_file.isOpen())
            return m_payloadStart == 0 ? m_bytes : m_bytes.sliced(m_payloadStart);
        QByteArray bytes(qsizetype(m_fileBytes), Qt::Uninitialized);
        // Whatever changed the file in place must not reach the next index.
        if (!m_file.readAt(m_fileStart, bytes.size(), bytes.data())
            || checksumOf(bytes.constData(), bytes.size()) != m_fileChecksum)
            return {};
        return bytes;
    }

    // Keeps only the given parts of the payload, in their order, moved to
    // the front (each to where the one before ended); `slices` get their
    // new offsets. Before any file decodes from here.
    void keepOnly(std::vector<std::pair<quint32, quint32>> &slices)
    {
        char *data = m_bytes.data();
        qsizetype end = 0;
        for (auto &[offset, length] : slices) {
            std::memmove(data + end, data + m_payloadStart + offset, length);
            offset = quint32(end);
            end += length;
        }
        m_bytes.truncate(end);
        m_bytes.squeeze();
        m_payloadStart = 0;
    }

    // From now on the records are read from `file`, which holds the same
    // bytes as this payload (whose checksum is `checksum`) from `fileStart`
    // on. Before any file decodes from here.
    void readFrom(SafeFile::OpenFile file, qint64 fileStart, quint64 checksum)
    {
        m_fileBytes = qint64(m_bytes.size() - m_payloadStart);
        m_fileChecksum = checksum;
        m_file = std::move(file);
        m_fileStart = fileStart;
        m_bytes = QByteArray();
        m_payloadStart = 0;
    }

private:
    // The bytes of one file's events: in memory, or read into `buffer`.
    std::optional<QByteArrayView> slice(quint32 offset, quint32 length, QByteArray &buffer) const
    {
        if (!m_file.isOpen()) {
            const QByteArrayView all = payload();
            if (qsizetype(offset) + qsizetype(length) > all.size())
                return std::nullopt;
            return all.sliced(offset, length);
        }
        if (qint64(offset) + qint64(length) > m_fileBytes)
            return std::nullopt;
        buffer.resize(qsizetype(length));
        if (!m_file.readAt(m_fileStart + offset, buffer.size(), buffer.data()))
            return std::nullopt;
        return QByteArrayView(buffer);
    }

    QByteArray m_bytes;
    qsizetype m_payloadStart = 0;
    SafeFile::OpenFile m_file;
    qint64 m_fileStart = 0;
    qint64 m_fileBytes = 0;
    quint64 m_fileChecksum = 0;
};

// Strings many files share (calendar ids, folders), written once.
class SharedStrings
{
public:
    quint32 indexOf(const QString &text)
    {
        auto it = m_indexes.constFind(text);
        if (it == m_indexes.constEnd()) {
            it = m_indexes.insert(text, quint32(m_texts.size()));
            m_texts.append(text);
        }
        return *it;
    }
    const QStringList &texts() const { return m_texts; }

private:
    QHash<QString, quint32> m_indexes;
    QStringList m_texts;
};

struct Tables
{
    // The index most files were taken from, whose zone table this one starts
    // with, and its records.
    const IndexRecords *copiedRecords = nullptr;
    QByteArray copiedBytes;
    ZoneTable zones;
    SharedStrings calendars;
    SharedStrings folders;
};

void writeSeries(Writer &out, ZoneTable &zones, const std::vector<EventSeries> &all)
{
    out.number<quint32>(quint32(all.size()));
    for (const EventSeries &series : all) {
        // Most often the key is the master's UID: a flag says so.
        const bool keyIsUid = series.hasMaster && series.key == series.master.uid;
        out.boolean(keyIsUid);
        if (!keyIsUid)
            out.utf8(series.key);
        out.boolean(series.hasMaster);
        if (series.hasMaster)
            writeRecord(out, zones, series.master);
        out.number<quint32>(quint32(series.overrides.size()));
        for (const EventRecord &override : series.overrides)
            writeRecord(out, zones, override);
    }
}

// False, with nothing written, for a file whose events can no longer be
// read from the index they came from: it is left to be parsed next time.
bool writeFile(Writer &out, Tables &tables, const ParsedFile &file, const Window &window)
{
    ZoneTable &zones = tables.zones;
    const bool copied = file.encodedSource() && file.encodedSource() == tables.copiedRecords;
    std::optional<std::vector<EventSeries>> decodedForWrite;
    if (!copied && !file.seriesDecoded()) {
        // Decoded for the write only: the store keeps them encoded.
        decodedForWrite = file.encodedSource()->decode(file.encodedOffset(), file.encodedLength());
        if (!decodedForWrite)
            return false;
    }
    const QString path = file.path();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    out.number<quint32>(tables.folders.indexOf(path.left(qMax<qsizetype>(0, slash))));
    out.text(path.mid(slash + 1));
    out.number<quint32>(tables.calendars.indexOf(file.calendarId));
    out.number<qint64>(file.stamp.size);
    out.number<qint64>(file.stamp.modifiedNs);
    out.number<qint64>(file.stamp.changedNs);
    out.number<quint64>(file.stamp.inode);
    out.number<qint64>(file.size);
    out.number<quint64>(quint64(file.contentHash));
    out.boolean(file.readComplete);
    out.number<quint32>(quint32(file.problems.size()));
    for (const QString &problem : file.problems)
        out.text(problem);
    if (copied) {
        // Same zone table: the events are copied as they were read.
        out.bytes.append(QByteArrayView(tables.copiedBytes).sliced(file.encodedOffset(), file.encodedLength()));
    } else {
        writeSeries(out, zones, decodedForWrite ? *decodedForWrite : file.series());
    }
    const Window::Range *range = window.find(&file);
    out.boolean(range != nullptr);
    if (range) {
        out.number<quint32>(range->count);
        for (const StoredOccurrence &occurrence : window.occurrencesOf(*range)) {
            out.number<qint64>(occurrence.startMs);
            out.number<qint64>(occurrence.endMs);
            out.number<quint32>(occurrence.seriesIndex);
            out.number<qint32>(occurrence.overrideIndex);
        }
    }
    return true;
}

struct ReadTables
{
    QStringList calendars;
    QStringList folders;
    QList<QByteArray> encodedFolders; // the same, as paths are kept
};

std::shared_ptr<ParsedFile> readFile(Reader &in, const ReadTables &tables,
    const std::shared_ptr<const IndexRecords> &records, std::vector<SeriesShape> &shapes, Window &window)
{
    auto file = std::make_shared<ParsedFile>();
    const quint32 folder = in.number<quint32>();
    const QString name = in.text();
    const quint32 calendar = in.number<quint32>();
    if (folder >= quint32(tables.folders.size()) || calendar >= quint32(tables.calendars.size()) || name.isEmpty()
        || name.contains(QLatin1Char('/'))) {
        in.fail();
        return file;
    }
    file->pathUtf8 = SafeFile::encodedChildPath(tables.encodedFolders[folder], name);
    file->calendarId = tables.calendars[calendar];
    file->stamp.size = in.number<qint64>();
    file->stamp.modifiedNs = in.number<qint64>();
    file->stamp.changedNs = in.number<qint64>();
    file->stamp.inode = in.number<quint64>();
    // A change time no file system gives is damage (and would overflow).
    if (file->stamp.changedNs < 0 || file->stamp.changedNs > std::numeric_limits<qint64>::max() - SettleNs)
        in.fail();
    else
        file->readAtNs = file->stamp.changedNs + SettleNs; // settled when written
    file->size = in.number<qint64>();
    file->contentHash = size_t(in.number<quint64>());
    file->readComplete = in.boolean();
    const quint32 problems = in.count(4);
    for (quint32 i = 0; i < problems && !in.failed(); ++i)
        file->problems.append(in.text());
    // The events are checked now and decoded when first asked for.
    const qsizetype seriesStart = in.position();
    shapes.clear();
    readSeries<Records::Check>(in, records->zones, &shapes);
    file->setEncodedSeries(records, quint32(seriesStart), quint32(in.position() - seriesStart));
    if (in.boolean()) {
        const quint32 count = in.count(8 + 8 + 4 + 4);
        std::vector<StoredOccurrence> &occurrences = window.occurrences;
        const size_t first = occurrences.size();
        for (quint32 i = 0; i < count && !in.failed(); ++i) {
            StoredOccurrence occurrence;
            occurrence.startMs = in.number<qint64>();
            occurrence.endMs = in.number<qint64>();
            occurrence.seriesIndex = in.number<quint32>();
            occurrence.overrideIndex = in.number<qint32>();
            // Only what points at a record of this file, and ends after it starts.
            if (occurrence.seriesIndex >= shapes.size() || occurrence.endMs < occurrence.startMs)
                in.fail();
            else if (occurrence.overrideIndex < -1
                || (occurrence.overrideIndex == -1 && !shapes[occurrence.seriesIndex].hasMaster)
                || (occurrence.overrideIndex >= 0
                    && size_t(occurrence.overrideIndex) >= shapes[occurrence.seriesIndex].overrides))
                in.fail();
            occurrences.push_back(occurrence);
        }
        if (!in.failed())
            window.ranges.push_back({file.get(), quint32(first), count});
    }
    if (!file->stamp.isValid() || file->pathUtf8.isEmpty())
        in.fail();
    return file;
}

// An index file left open, holding the bytes read from it.
struct OpenIndex
{
    SafeFile::OpenFile *file = nullptr;
    quint64 checksum = 0; // of its payload
};

// `bytes` from `payloadStart` on: the records, which files taken from the
// index go on decoding from: from memory, or from `index` when it holds the
// same bytes.
Contents readPayload(QByteArray bytes, qsizetype payloadStart, QString *problem, OpenIndex index = {})
{
    auto records = std::make_shared<IndexRecords>(std::move(bytes), payloadStart);
    Reader in(records->payload());
    Contents contents;
    contents.window.fromMs = in.number<qint64>();
    contents.window.toMs = in.number<qint64>();
    contents.window.zoneId = in.data();
    ReadTables tables;
    std::vector<const ResolvedZone *> &zones = records->zones;
    const quint32 zoneCount = in.count(8);
    for (quint32 i = 0; i < zoneCount && !in.failed(); ++i) {
        const QByteArray tzid = in.data();
        const QByteArray definition = in.data();
        if (in.failed())
            break;
        const ResolvedZone *zone = TimeZoneRegistry::instance().resolveDefinition(tzid, definition);
        if (!zone) {
            // The system's zone data changed since: the files are read again.
            if (problem)
                *problem = QStringLiteral("time zone \"%1\" no longer resolves").arg(QString::fromUtf8(tzid));
            return {};
        }
        zones.push_back(zone);
    }
    for (QStringList *strings : {&tables.calendars, &tables.folders}) {
        const quint32 count = in.count(4);
        strings->reserve(count);
        for (quint32 i = 0; i < count && !in.failed(); ++i)
            strings->append(in.text());
    }
    for (const QString &folder : std::as_const(tables.folders))
        tables.encodedFolders.append(SafeFile::encodedPath(folder));
    const quint32 fileCount = in.count(4 + 4 + 4 + 8 * 6 + 1 + 4 + 4 + 1);
    contents.files.reserve(fileCount);
    std::vector<SeriesShape> shapes;
    std::vector<std::shared_ptr<ParsedFile>> files;
    files.reserve(fileCount);
    contents.window.ranges.reserve(fileCount);
    for (quint32 i = 0; i < fileCount && !in.failed(); ++i) {
        std::shared_ptr<ParsedFile> file = readFile(in, tables, records, shapes, contents.window);
        if (in.failed())
            break;
        // One path twice is damage (and the first one's stored occurrences
        // would be left to whatever comes at its address).
        if (contents.files.contains(file->pathUtf8)) {
            in.fail();
            break;
        }
        file->listedAt = i;
        contents.files.insert(file->pathUtf8, file);
        files.push_back(std::move(file));
    }
    if (in.failed() || !in.atEnd()) {
        if (problem)
            *problem = QStringLiteral("damaged records");
        return {};
    }
    if (index.file && index.file->isOpen()) {
        // The events stay in the file, read from there as they are asked for.
        records->readFrom(std::move(*index.file), payloadStart, index.checksum);
    } else {
        // Only the events are kept encoded: the rest of each record has been read.
        std::vector<std::pair<quint32, quint32>> slices;
        slices.reserve(files.size());
        for (const std::shared_ptr<ParsedFile> &read : files)
            slices.emplace_back(read->encodedOffset(), read->encodedLength());
        records->keepOnly(slices);
        for (size_t i = 0; i < files.size(); ++i)
            files[i]->setEncodedSeries(records, slices[i].first, slices[i].second);
    }
    contents.inRecordOrder.assign(files.begin(), files.end());
    contents.window.sortRanges();
    return contents;
}

} // namespace

void Window::sortRanges()
{
    std::sort(ranges.begin(), ranges.end(),
        [](const Range &a, const Range &b) { return std::less<const ParsedFile *>()(a.file, b.file); });
}

const Window::Range *Window::find(const ParsedFile *file) const
{
    const auto it = std::lower_bound(ranges.begin(), ranges.end(), file,
        [](const Range &range, const ParsedFile *f) { return std::less<const ParsedFile *>()(range.file, f); });
    return it != ranges.end() && it->file == file ? &*it : nullptr;
}

QString defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/brivane/calendar-index");
}

QByteArray toBytes(const std::vector<FilePtr> &files, const Window &window, qint64 settleNs)
{
    auto keep = [settleNs](const ParsedFile &file) {
        return file.stamp.isValid() && file.readAtNs - file.stamp.changedNs >= settleNs;
    };
    // The files first, collecting their zones; the zones go before them.
    Writer body;
    Tables tables;
    for (const FilePtr &file : files) {
        if (!keep(*file))
            continue;
        const auto *records = dynamic_cast<const IndexRecords *>(file->encodedSource());
        if (!records)
            continue;
        tables.copiedBytes = records->all();
        if (!tables.copiedBytes.isEmpty()) {
            tables.copiedRecords = records;
            tables.zones.seed(records->zones);
        }
        break;
    }
    body.number<quint32>(0); // the count, once known
    quint32 written = 0;
    for (const FilePtr &file : files) {
        if (keep(*file) && writeFile(body, tables, *file, window))
            ++written;
    }
    Writer count;
    count.number<quint32>(written);
    std::memcpy(body.bytes.data(), count.bytes.constData(), sizeof(quint32));
    tables.copiedBytes = QByteArray();

    // Header, tables, then the files: put together in one buffer (a large
    // index is tens of megabytes), its length and checksum filled in last.
    Writer out;
    out.bytes.append(Magic, sizeof(Magic));
    out.number<quint32>(FormatVersion);
    out.bytes.append(HeaderBytes - out.bytes.size(), '\0');
    out.number<qint64>(window.fromMs);
    out.number<qint64>(window.toMs);
    out.data(window.zoneId);
    out.number<quint32>(quint32(tables.zones.zones().size()));
    for (const ResolvedZone *zone : tables.zones.zones()) {
        out.data(zone->tzid());
        out.data(zone->definition());
    }
    for (const SharedStrings *strings : {&tables.calendars, &tables.folders}) {
        out.number<quint32>(quint32(strings->texts().size()));
        for (const QString &text : strings->texts())
            out.text(text);
    }
    out.bytes.reserve(out.bytes.size() + body.bytes.size());
    out.bytes.append(body.bytes);
    body.bytes = QByteArray();
    const qsizetype payloadSize = out.bytes.size() - HeaderBytes;
    Writer sizeAndChecksum;
    sizeAndChecksum.number<quint64>(quint64(payloadSize));
    sizeAndChecksum.number<quint64>(checksumOf(out.bytes.constData() + HeaderBytes, payloadSize));
    std::memcpy(out.bytes.data() + sizeof(Magic) + 4, sizeAndChecksum.bytes.constData(), 16);
    return out.bytes;
}

Contents fromPayload(const QByteArray &payload, QString *problem)
{
    // A copy of its own: the files read keep decoding from it.
    return readPayload(QByteArray(payload.constData(), payload.size()), 0, problem);
}

namespace {

Contents fromBytes(QByteArray bytes, QString *problem, SafeFile::OpenFile *file)
{
    auto refuse = [problem](const QString &why) {
        if (problem)
            *problem = why;
        return Contents();
    };
    if (bytes.size() < HeaderBytes || std::memcmp(bytes.constData(), Magic, sizeof(Magic)) != 0)
        return refuse(QStringLiteral("not an index"));
    Reader header(QByteArrayView(bytes).sliced(sizeof(Magic), 12));
    const quint32 version = header.number<quint32>();
    const quint64 payloadSize = header.number<quint64>();
    if (version != FormatVersion)
        return refuse(QStringLiteral("index of another version (%1)").arg(version));
    if (payloadSize != quint64(bytes.size() - HeaderBytes))
        return refuse(QStringLiteral("truncated index"));
    const char *payload = bytes.constData() + HeaderBytes;
    QElapsedTimer step;
    step.start();
    Reader checksumReader(QByteArrayView(bytes).sliced(HeaderBytes - ChecksumBytes, ChecksumBytes));
    const quint64 checksum = checksumReader.number<quint64>();
    if (checksumOf(payload, bytes.size() - HeaderBytes) != checksum)
        return refuse(QStringLiteral("damaged index (checksum)"));
    qCDebug(lcTiming) << "index checksum:" << step.restart() << "ms";
    Contents contents = readPayload(std::move(bytes), HeaderBytes, problem, {file, checksum});
    qCDebug(lcTiming) << "index records:" << step.restart() << "ms";
    return contents;
}

} // namespace

Contents fromBytes(QByteArray bytes, QString *problem)
{
    return fromBytes(std::move(bytes), problem, nullptr);
}

Contents read(const QString &path, QString *problem)
{
    QElapsedTimer step;
    step.start();
    // Kept open: the files taken from the index read their events from it
    // (a rewrite renames a new file over it, leaving this one as it is).
    SafeFile::OpenFile opened;
    struct stat folder = {};
    if (::stat(QFile::encodeName(QFileInfo(path).path()).constData(), &folder) == 0 && folder.st_uid != ::geteuid()) {
        if (problem)
            *problem = QStringLiteral("%1 belongs to another user").arg(QFileInfo(path).path());
        return {};
    }
    SafeFile::Read file = SafeFile::readRegularFile(path, MaxBytes, &opened);
    qCDebug(lcTiming) << "index file read:" << step.elapsed() << "ms";
    if (!file.ok()) {
        if (problem)
            *problem = file.error;
        return {};
    }
    return fromBytes(std::move(file.data), problem, &opened);
}

bool write(
    const QString &path, const std::vector<FilePtr> &files, const Window &window, QString *problem, qint64 settleNs)
{
    const QByteArray bytes = toBytes(files, window, settleNs);
    if (bytes.size() > MaxBytes) {
        QFile::remove(path); // an older, smaller index would only mislead
        if (problem)
            *problem = QStringLiteral("index of %1 bytes too large to keep").arg(bytes.size());
        return false;
    }
    // Only into a folder of the user's own: another user's could hand the
    // index to someone else or swap it under us.
    if (const QString refused = SafeFile::checkPrivateFolder(QFileInfo(path).path()); !refused.isEmpty()) {
        if (problem)
            *problem = refused;
        return false;
    }
    // Titles and times of the user's events: for the user alone, as the
    // cache folder may be readable by others.
    SafeFile::WriteOptions options;
    options.mode = 0600;
    options.exactMode = 0600;
    const SafeFile::WriteResult written = SafeFile::writeAtomically(path, bytes, options);
    if (!written.ok) {
        if (problem)
            *problem = written.errorText();
        return false;
    }
    return true;
}

} // namespace PersistentIndex
