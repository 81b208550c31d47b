// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the reader of the calendar folder layout: the input describes a
// small tree of account and calendar folders, `displayname` and `color`
// files and event files, which is made on disk and then read.
//
// Input: records separated by '\n'; each is "KIND PATH" or "KIND PATH=TEXT",
// KIND one of d (folder), f (file with TEXT), l (link to PATH's target TEXT).
#include "calendar/VdirLayout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

// Paths stay inside the root: plain names, at most three deep.
bool usablePath(const QByteArray &path)
{
    if (path.isEmpty() || path.size() > 60 || path.startsWith('/') || path.contains("..") || path.count('/') > 2)
        return false;
    for (const char c : path) {
        if (!(QChar::isLetterOrNumber(uchar(c)) || c == '/' || c == '.' || c == '-' || c == '_' || c == ' '))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir scratch;
    const QString root = scratch.path() + QStringLiteral("/root");
    QDir(root).removeRecursively();
    QDir().mkpath(root);

    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    int made = 0;
    for (const QByteArray &record : input.split('\n')) {
        if (record.size() < 3 || record[1] != ' ' || ++made > 40)
            continue;
        const QByteArray body = record.mid(2);
        const qsizetype equals = body.indexOf('=');
        const QByteArray path = equals < 0 ? body : body.left(equals);
        const QByteArray text = equals < 0 ? QByteArray() : body.mid(equals + 1).replace("\\n", "\n");
        if (!usablePath(path))
            continue;
        const QString target = root + QLatin1Char('/') + QString::fromLatin1(path);
        switch (record[0]) {
        case 'd':
            QDir().mkpath(target);
            break;
        case 'f': {
            QDir().mkpath(QFileInfo(target).path());
            QFile file(target);
            if (file.open(QIODevice::WriteOnly))
                file.write(text);
            break;
        }
        case 'l':
            if (usablePath(text))
                QFile::link(root + QLatin1Char('/') + QString::fromLatin1(text), target);
            break;
        default:
            break;
        }
    }

    const Vdir::Layout layout = Vdir::scan({root});
    QStringList problems;
    for (const Vdir::CalendarDir &calendar : layout.calendars)
        Vdir::eventFiles(calendar, &problems);
    Vdir::normalizedColor(input.left(Vdir::MaxMetadataFileSize));
    return 0;
}
