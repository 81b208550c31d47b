#include "app/XdgDesktopLauncher.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cstdio>

namespace {
const QString CalendarMimeType = QStringLiteral("text/calendar");

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList configDirs()
{
    QStringList dirs {QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)};
    dirs += QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    dirs.removeDuplicates();
    return dirs;
}

QStringList applicationDirs()
{
    QStringList dirs;
    for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        dirs.append(data + QStringLiteral("/applications"));
    dirs.removeDuplicates();
    return dirs;
}

QString desktopEntryPath(const QString &id)
{
    for (const QString &dir : applicationDirs()) {
        // "kde-org.kde.korganizer.desktop" may live in a "kde" subfolder.
        for (const QString &candidate : {dir + QLatin1Char('/') + id,
                 dir + QLatin1Char('/') + QString(id).replace(QLatin1Char('-'), QLatin1Char('/'))}) {
            if (QFileInfo::exists(candidate))
                return candidate;
        }
    }
    return {};
}
} // namespace

void XdgDesktopLauncher::openUrl(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}

QStringList XdgDesktopLauncher::handlersIn(const QString &listText, const QString &mimeType)
{
    QStringList ids;
    // The sections that name defaults, in the order they count.
    static const QStringList sections {QStringLiteral("[Default Applications]"), QStringLiteral("[Added Associations]"),
        QStringLiteral("[MIME Cache]")};
    for (const QString &wanted : sections) {
        bool inSection = false;
        for (const QString &rawLine : listText.split(QLatin1Char('\n'))) {
            const QString line = rawLine.trimmed();
            if (line.startsWith(QLatin1Char('['))) {
                inSection = line == wanted;
                continue;
            }
            if (!inSection || !line.startsWith(mimeType + QLatin1Char('=')))
                continue;
            for (const QString &id : line.mid(mimeType.size() + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts))
                ids.append(id.trimmed());
        }
    }
    ids.removeDuplicates();
    return ids;
}

QString XdgDesktopLauncher::calendarHandlerId()
{
    QStringList lists;
    for (const QString &dir : configDirs())
        lists.append(dir + QStringLiteral("/mimeapps.list"));
    for (const QString &dir : applicationDirs()) {
        lists.append(dir + QStringLiteral("/mimeapps.list"));
        lists.append(dir + QStringLiteral("/defaults.list"));
    }
    for (const QString &dir : applicationDirs())
        lists.append(dir + QStringLiteral("/mimeinfo.cache"));
    for (const QString &list : lists) {
        for (const QString &id : handlersIn(readText(list), CalendarMimeType)) {
            if (!desktopEntryPath(id).isEmpty())
                return id;
        }
    }
    return {};
}

QString XdgDesktopLauncher::execOf(const QString &desktopEntryText)
{
    bool inEntry = false;
    for (const QString &rawLine : desktopEntryText.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec=")))
            return line.mid(5).trimmed();
    }
    return {};
}

QStringList XdgDesktopLauncher::commandFor(const QString &exec, const QDate &day)
{
    QStringList command;
    static const QRegularExpression fieldCode(QStringLiteral("^%[fFuUdDnNickvm]$"));
    for (QString argument : QProcess::splitCommand(exec)) {
        if (fieldCode.match(argument).hasMatch())
            continue; // no files to open
        argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
        command.append(argument);
    }
    if (command.isEmpty())
        return {};
    const QString program = QFileInfo(command.first()).fileName();
    if (program == QLatin1String("gnome-calendar") && day.isValid())
        command << QStringLiteral("--date") << day.toString(Qt::ISODate);
    else if (program == QLatin1String("evolution"))
        command << QStringLiteral("--component=calendar");
    return command;
}

void XdgDesktopLauncher::openCalendarApp(const QDate &day)
{
    QString exec;
    if (const QString id = calendarHandlerId(); !id.isEmpty())
        exec = execOf(readText(desktopEntryPath(id)));
    if (exec.isEmpty()) {
        // No handler named: the usual calendar programs, if one is installed.
        for (const char *program : {"gnome-calendar", "korganizer", "evolution"}) {
            if (!QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) {
                exec = QString::fromLatin1(program);
                break;
            }
        }
    }
    const QStringList command = commandFor(exec, day);
    if (command.isEmpty() || !QProcess::startDetached(command.first(), command.mid(1)))
        std::fprintf(stderr, "brivane: no calendar application to open (none handles text/calendar)\n");
}
