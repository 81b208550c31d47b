// SPDX-License-Identifier: GPL-3.0-or-later
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
// The Exec line of the calendar application, empty when there is none.
QString calendarAppExec()
{
    if (const QString id = XdgDesktopLauncher::calendarHandlerId(); !id.isEmpty()) {
        if (QString exec = XdgDesktopLauncher::execOf(readText(desktopEntryPath(id))); !exec.isEmpty())
            return exec;
    }
    // No handler named: the usual calendar programs, if one is installed.
    for (const char *program : {"gnome-calendar", "korganizer", "evolution"}) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            return QString::fromLatin1(program);
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

bool XdgDesktopLauncher::openCalendarApp(const QDate &day)
{
    const QStringList command = commandFor(calendarAppExec(), day);
    if (command.isEmpty()) {
        std::fprintf(stderr, "brivane: no calendar application to open (none handles text/calendar)\n");
        return false;
    }
    if (!QProcess::startDetached(command.first(), command.mid(1))) {
        std::fprintf(stderr, "brivane: the calendar application %s did not start\n", qPrintable(command.first()));
        return false;
    }
    return true;
}

bool XdgDesktopLauncher::hasCalendarApp() const
{
    return !calendarAppExec().isEmpty();
}

QStringList XdgDesktopLauncher::onlineAccountsCommand(const QString &currentDesktop)
{
    const QStringList gnome {QStringLiteral("gnome-control-center"), QStringLiteral("online-accounts")};
    const QStringList plasma6 {QStringLiteral("systemsettings"), QStringLiteral("kcm_kaccounts")};
    const QStringList plasma5 {QStringLiteral("systemsettings5"), QStringLiteral("kcm_kaccounts")};
    const bool kde = currentDesktop.split(QLatin1Char(':')).contains(QStringLiteral("KDE"), Qt::CaseInsensitive);
    const QList<QStringList> candidates = kde ? QList {plasma6, plasma5, gnome} : QList {gnome, plasma6, plasma5};
    for (const QStringList &command : candidates) {
        if (!QStandardPaths::findExecutable(command.first()).isEmpty())
            return command;
    }
    return {};
}

bool XdgDesktopLauncher::hasOnlineAccountsSettings() const
{
    return !onlineAccountsCommand(qEnvironmentVariable("XDG_CURRENT_DESKTOP")).isEmpty();
}

bool XdgDesktopLauncher::openOnlineAccountsSettings()
{
    const QStringList command = onlineAccountsCommand(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    return !command.isEmpty() && QProcess::startDetached(command.first(), command.mid(1));
}
