#include "calendar/VdirLayout.h"

#include "calendar/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

#include <unistd.h>

namespace Vdir {
namespace {

// A missing file is normal (a calendar without a colour); anything else that
// keeps it from being read is worth a warning.
QByteArray readMetadataFile(const QString &path, QStringList &problems)
{
    const SafeFile::Read read = SafeFile::readRegularFile(path, MaxMetadataFileSize);
    if (!read.ok() && QFileInfo::exists(path))
        problems.append(QStringLiteral("%1: %2").arg(path, read.error));
    return read.data;
}

QString displayNameOf(const QString &dirPath, QStringList &problems)
{
    const QString name
        = QString::fromUtf8(readMetadataFile(dirPath + QStringLiteral("/displayname"), problems)).trimmed();
    return name.isEmpty() ? QFileInfo(dirPath).fileName() : name;
}

QString canonical(const QString &folder, const QString &name)
{
    return QFileInfo(folder + QLatin1Char('/') + name).canonicalFilePath();
}

void noteUnreadable(const QString &path, const QString &error, QStringList &problems)
{
    problems.append(QStringLiteral("%1: %2").arg(path, error));
}

} // namespace

QString idForPath(const QString &absolutePath)
{
    return QStringLiteral("local:") + absolutePath;
}

bool isEventFileName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".ics"), Qt::CaseInsensitive) && !fileName.startsWith(QLatin1Char('.'));
}

QString normalizedColor(const QByteArray &text)
{
    static const QRegularExpression pattern(QStringLiteral("^#([0-9A-Fa-f]{6})([0-9A-Fa-f]{2})?$"));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(text.trimmed()));
    return match.hasMatch() ? QLatin1Char('#') + match.captured(1).toUpper() : QString();
}

Layout scan(const QStringList &roots)
{
    Layout layout;
    QSet<QString> seen;
    for (const QString &root : roots) {
        if (!QFileInfo(root).isDir())
            continue;
        SafeFile::Listing rootListing = SafeFile::listFolder(root);
        if (!rootListing.error.isEmpty())
            noteUnreadable(root, rootListing.error, layout.problems);
        rootListing.folders.sort();
        for (const QString &sourceName : std::as_const(rootListing.folders)) {
            const QString sourcePath = canonical(root, sourceName);
            if (sourcePath.isEmpty() || seen.contains(sourcePath))
                continue;
            seen.insert(sourcePath);
            const SourceDir source {idForPath(sourcePath), sourcePath, displayNameOf(sourcePath, layout.problems)};
            layout.sources.append(source);

            SafeFile::Listing sourceListing = SafeFile::listFolder(sourcePath);
            if (!sourceListing.error.isEmpty())
                noteUnreadable(sourcePath, sourceListing.error, layout.problems);
            sourceListing.folders.sort();
            sourceListing.files.sort();
            for (const QString &calendarName : std::as_const(sourceListing.folders)) {
                const QString path = canonical(sourcePath, calendarName);
                if (path.isEmpty() || seen.contains(path))
                    continue;
                seen.insert(path);
                CalendarDir calendar;
                calendar.id = idForPath(path);
                calendar.path = path;
                calendar.title = displayNameOf(path, layout.problems);
                calendar.color = normalizedColor(readMetadataFile(path + QStringLiteral("/color"), layout.problems));
                calendar.sourceId = source.id;
                calendar.writable = ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
                layout.calendars.append(calendar);
            }
            for (const QString &fileName : std::as_const(sourceListing.files)) {
                if (!isEventFileName(fileName))
                    continue;
                CalendarDir calendar;
                calendar.path = canonical(sourcePath, fileName);
                calendar.id = idForPath(calendar.path);
                calendar.title = QFileInfo(fileName).completeBaseName();
                calendar.sourceId = source.id;
                calendar.singleFile = true;
                calendar.writable = false;
                layout.calendars.append(calendar);
            }
            for (const QString &other : std::as_const(sourceListing.others)) {
                if (isEventFileName(other))
                    noteUnreadable(sourcePath + QLatin1Char('/') + other, QStringLiteral("not a regular file, skipped"),
                        layout.problems);
            }
        }
    }
    return layout;
}

QStringList eventFileNames(const CalendarDir &calendar, QStringList *problems)
{
    if (calendar.singleFile)
        return {};
    SafeFile::Listing listing = SafeFile::listFolder(calendar.path);
    if (problems && !listing.error.isEmpty())
        noteUnreadable(calendar.path, listing.error, *problems);
    if (problems) {
        for (const QString &name : std::as_const(listing.others)) {
            if (isEventFileName(name))
                noteUnreadable(
                    calendar.path + QLatin1Char('/') + name, QStringLiteral("not a regular file, skipped"), *problems);
        }
    }
    QStringList &names = listing.files;
    names.removeIf([](const QString &name) { return !isEventFileName(name); });
    return std::move(names);
}

QStringList eventFiles(const CalendarDir &calendar, QStringList *problems)
{
    if (calendar.singleFile)
        return {calendar.path};
    QStringList files = eventFileNames(calendar, problems);
    for (QString &name : files)
        name = SafeFile::childPath(calendar.path, name);
    return files;
}

bool ensureDefaultRoot(const QString &root)
{
    if (QFileInfo::exists(root))
        return true;
    const QString source = root + QStringLiteral("/local");
    const QString personal = source + QStringLiteral("/personal");
    if (!QDir().mkpath(personal))
        return false;
    auto writeFile
        = [](const QString &path, const QByteArray &text) { return SafeFile::writeAtomically(path, text).ok; };
    return writeFile(source + QStringLiteral("/displayname"), "Local")
        && writeFile(personal + QStringLiteral("/displayname"), "Personal")
        && writeFile(personal + QStringLiteral("/color"), "#3B82F6");
}

} // namespace Vdir
