// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/AutostartEntry.h"

#include "calendar/SafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace AutostartEntry {
namespace {

// An Exec argument as the desktop entry specification quotes it: in double
// quotes when it holds a reserved character, with ", `, $ and \ escaped.
QString quotedArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    if (!needsQuotes)
        return argument;
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    // Inside an Exec value, a backslash is itself escaped once more.
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/" BRIVANE_APP_ID ".desktop");
}

QByteArray contentFor(const QString &program)
{
    // Percent signs in Exec are field codes: a literal one is doubled.
    QString exec = quotedArgument(program);
    exec.replace(QLatin1Char('%'), QLatin1String("%%"));
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=brivane\n"
           "Comment=Your next event in the panel, from login on\n"
           "Exec="
        + exec.toUtf8()
        + "\n"
          "Icon=" BRIVANE_APP_ID "\n"
          "Terminal=false\n"
          "NoDisplay=true\n";
}

QString apply(bool enabled, const QString &program)
{
    const QString entry = path();
    struct stat info {};
    const bool present = ::lstat(QFile::encodeName(entry).constData(), &info) == 0;
    if (!enabled) {
        if (present && ::unlink(QFile::encodeName(entry).constData()) != 0)
            return SafeFile::writeErrorText(errno);
        return {};
    }
    const QByteArray wanted = contentFor(program);
    if (present && S_ISREG(info.st_mode)) {
        const SafeFile::Read current = SafeFile::readRegularFile(entry, 64 * 1024);
        if (current.ok() && current.data == wanted)
            return {};
    }
    const QString folder = QFileInfo(entry).path();
    if (!QDir().mkpath(folder))
        return QCoreApplication::translate("AutostartEntry", "the folder %1 cannot be made").arg(folder);
    const SafeFile::WriteResult written = SafeFile::writeAtomically(entry, wanted);
    return written.ok ? QString() : written.errorText();
}

} // namespace AutostartEntry
