#include "calendar/VdirLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace Vdir {
namespace {

constexpr qint64 MaxMetadataFileSize = 4096;

QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    if (file.size() > MaxMetadataFileSize || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString displayNameOf(const QString &dirPath)
{
    const QString name = QString::fromUtf8(readSmallFile(dirPath + QStringLiteral("/displayname"))).trimmed();
    return name.isEmpty() ? QFileInfo(dirPath).fileName() : name;
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
    const QDir::Filters dirFilter = QDir::Dirs | QDir::NoDotAndDotDot;
    for (const QString &root : roots) {
        const QDir rootDir(root);
        if (!rootDir.exists())
            continue;
        for (const QFileInfo &sourceInfo : rootDir.entryInfoList(dirFilter, QDir::Name)) {
            const QString sourcePath = sourceInfo.canonicalFilePath();
            if (sourcePath.isEmpty() || seen.contains(sourcePath))
                continue;
            seen.insert(sourcePath);
            const SourceDir source {idForPath(sourcePath), sourcePath, displayNameOf(sourcePath)};
            layout.sources.append(source);

            const QDir sourceDir(sourcePath);
            for (const QFileInfo &calendarInfo : sourceDir.entryInfoList(dirFilter, QDir::Name)) {
                const QString path = calendarInfo.canonicalFilePath();
                if (path.isEmpty() || seen.contains(path))
                    continue;
                seen.insert(path);
                CalendarDir calendar;
                calendar.id = idForPath(path);
                calendar.path = path;
                calendar.title = displayNameOf(path);
                calendar.color = normalizedColor(readSmallFile(path + QStringLiteral("/color")));
                calendar.sourceId = source.id;
                calendar.writable = calendarInfo.isWritable();
                layout.calendars.append(calendar);
            }
            for (const QFileInfo &fileInfo : sourceDir.entryInfoList(QDir::Files, QDir::Name)) {
                if (!isEventFileName(fileInfo.fileName()))
                    continue;
                CalendarDir calendar;
                calendar.path = fileInfo.canonicalFilePath();
                calendar.id = idForPath(calendar.path);
                calendar.title = fileInfo.completeBaseName();
                calendar.sourceId = source.id;
                calendar.singleFile = true;
                calendar.writable = false;
                layout.calendars.append(calendar);
            }
        }
    }
    return layout;
}

QStringList eventFiles(const CalendarDir &calendar)
{
    if (calendar.singleFile)
        return {calendar.path};
    QStringList files;
    const QDir dir(calendar.path);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden, QDir::NoSort);
    files.reserve(names.size());
    for (const QString &name : names) {
        if (isEventFileName(name))
            files.append(calendar.path + QLatin1Char('/') + name);
    }
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
    auto writeFile = [](const QString &path, const QByteArray &text) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
    };
    return writeFile(source + QStringLiteral("/displayname"), "Local")
        && writeFile(personal + QStringLiteral("/displayname"), "Personal")
        && writeFile(personal + QStringLiteral("/color"), "#3B82F6");
}

} // namespace Vdir
