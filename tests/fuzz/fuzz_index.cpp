// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the reader of the calendar index: the input is taken as the records
// behind a valid checksum (damage the checksum would catch never gets this
// far), and whatever reads is then expanded as the store would.
//
// BRIVANE_INDEX_SEEDS_FROM=<folder of .ics> BRIVANE_INDEX_SEEDS_TO=<folder>
// writes real indexes of those files as seeds instead of fuzzing.
#include "calendar/IcsParser.h"
#include "calendar/PersistentIndex.h"
#include "calendar/RecurrenceExpander.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>

namespace {

void writeSeeds(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    std::vector<PersistentIndex::FilePtr> files;
    int written = 0;
    const QStringList names = QDir(from).entryList({QStringLiteral("*.ics")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        auto file = std::make_shared<ParsedFile>(IcsParser::readFile(from + QLatin1Char('/') + name, "seed"));
        file->readAtNs = file->stamp.changedNs + PersistentIndex::SettleNs;
        files.push_back(std::move(file));
        if (files.size() == 4 || (&name == &names.last() && !files.empty())) {
            QFile out(to + QStringLiteral("/seed%1").arg(++written));
            if (out.open(QIODevice::WriteOnly))
                out.write(PersistentIndex::toBytes(files).mid(PersistentIndex::HeaderBytes));
            files.clear();
            if (written == 60)
                break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (const char *from = std::getenv("BRIVANE_INDEX_SEEDS_FROM")) {
        writeSeeds(QString::fromLocal8Bit(from), QString::fromLocal8Bit(std::getenv("BRIVANE_INDEX_SEEDS_TO")));
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray payload = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const PersistentIndex::Contents contents = PersistentIndex::fromPayload(payload);
    // Whatever reads is written again (the events copied undecoded) and
    // must read back whole.
    if (!contents.isEmpty()) {
        std::vector<PersistentIndex::FilePtr> files(contents.files.cbegin(), contents.files.cend());
        if (PersistentIndex::fromBytes(PersistentIndex::toBytes(files, {}, 0)).size() != contents.size())
            std::abort();
    }
    const QTimeZone zone("Europe/Berlin");
    const qint64 from = QDateTime(QDate(2026, 12, 1), QTime(0, 0), zone).toMSecsSinceEpoch();
    const qint64 to = QDateTime(QDate(2027, 1, 15), QTime(0, 0), zone).toMSecsSinceEpoch();
    for (const PersistentIndex::FilePtr &file : contents.files) {
        std::vector<Occurrence> occurrences;
        RecurrenceExpander::ExpansionBudget budget(200, 50);
        RecurrenceExpander::expandFile(*file, from, to, zone, occurrences, budget);
        for (const Occurrence &occurrence : occurrences)
            RecurrenceExpander::recurrenceKeyOfOccurrence(occurrence, zone);
    }
    return 0;
}
