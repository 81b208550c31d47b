// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/DesktopCalendarConfigs.h"

#include "calendar/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <array>

namespace DesktopCalendarConfigs {
namespace {

// Configurations are a few kilobytes; anything far larger is no configuration.
constexpr qint64 MaxConfigSize = 1024 * 1024;

QString lineError(qsizetype index, const QString &what)
{
    return QStringLiteral("line %1: %2").arg(index + 1).arg(what);
}

QString absoluteFolder(const QString &path, const QString &home)
{
    return QDir::cleanPath(Vdir::expandHome(path, home));
}

bool isTrue(const QString &text)
{
    const QString lower = text.trimmed().toLower();
    return lower == QLatin1String("true") || lower == QLatin1String("yes") || lower == QLatin1String("on")
        || lower == QLatin1String("1");
}

// A configobj value: quoted, or plain up to an inline comment. A plain
// value that starts with '#' is taken whole: a colour written without the
// quotes configobj wants.
std::optional<QString> configobjValue(const QString &text)
{
    if (text.startsWith(QLatin1Char('"')) || text.startsWith(QLatin1Char('\''))) {
        const qsizetype close = text.indexOf(text.front(), 1);
        if (close < 0)
            return std::nullopt;
        const QString rest = text.mid(close + 1).trimmed();
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char('#')))
            return std::nullopt;
        return text.mid(1, close - 1);
    }
    if (text.startsWith(QLatin1Char('#')))
        return text;
    const qsizetype comment = text.indexOf(QLatin1Char('#'));
    return (comment < 0 ? text : text.left(comment)).trimmed();
}

// The 16 terminal colours, in the order of their numbers, as xterm shows them.
struct NamedColor
{
    const char *name;
    const char *hex;
};
constexpr std::array<NamedColor, 16> TerminalColors {{
    {"black", "#000000"},
    {"dark red", "#CD0000"},
    {"dark green", "#00CD00"},
    {"brown", "#CDCD00"},
    {"dark blue", "#0000EE"},
    {"dark magenta", "#CD00CD"},
    {"dark cyan", "#00CDCD"},
    {"light gray", "#E5E5E5"},
    {"dark gray", "#7F7F7F"},
    {"light red", "#FF0000"},
    {"light green", "#00FF00"},
    {"yellow", "#FFFF00"},
    {"light blue", "#5C5CFF"},
    {"light magenta", "#FF00FF"},
    {"light cyan", "#00FFFF"},
    {"white", "#FFFFFF"},
}};

QString hexOf(int red, int green, int blue)
{
    return QStringLiteral("#%1%2%3")
        .arg(red, 2, 16, QLatin1Char('0'))
        .arg(green, 2, 16, QLatin1Char('0'))
        .arg(blue, 2, 16, QLatin1Char('0'))
        .toUpper();
}

} // namespace

QString khalColor(const QString &text)
{
    const QString color = text.simplified().toLower();
    if (color.startsWith(QLatin1Char('#')))
        return Vdir::normalizedColor(color.toLatin1());
    for (const NamedColor &named : TerminalColors) {
        if (color == QLatin1String(named.name))
            return QLatin1String(named.hex);
    }
    bool isNumber = false;
    const int number = color.toInt(&isNumber);
    if (!isNumber || number < 0 || number > 255)
        return {};
    if (number < 16)
        return QLatin1String(TerminalColors[size_t(number)].hex);
    if (number >= 232) {
        const int gray = 8 + 10 * (number - 232);
        return hexOf(gray, gray, gray);
    }
    // The 6×6×6 cube of 256-colour terminals.
    const int index = number - 16;
    auto level = [](int step) { return step == 0 ? 0 : 55 + 40 * step; };
    return hexOf(level(index / 36), level(index / 6 % 6), level(index % 6));
}

Parsed parseKhal(const QByteArray &text, const QString &home)
{
    struct Calendar
    {
        QString name;
        QString path;
        QString type;
        QString color;
        bool readOnly = false;
    };
    QList<Calendar> calendars;
    QString section;
    bool inCalendar = false;
    Parsed parsed;
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            qsizetype open = 0;
            while (open < line.size() && line[open] == QLatin1Char('['))
                ++open;
            qsizetype close = 0;
            while (close < line.size() - open && line[line.size() - 1 - close] == QLatin1Char(']'))
                ++close;
            const QString name = line.mid(open, line.size() - open - close).trimmed();
            if (open != close || name.isEmpty()) {
                parsed.error = lineError(i, QStringLiteral("a section heading without its brackets"));
                return parsed;
            }
            if (open == 1)
                section = name.toLower();
            inCalendar = open == 2 && section == QLatin1String("calendars");
            if (inCalendar)
                calendars.append({name, {}, {}, {}, false});
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            parsed.error = lineError(i, QStringLiteral("neither a section nor \"name = value\""));
            return parsed;
        }
        const std::optional<QString> value = configobjValue(line.mid(equals + 1).trimmed());
        if (!value) {
            parsed.error = lineError(i, QStringLiteral("a quoted value without its closing quote"));
            return parsed;
        }
        if (!inCalendar)
            continue;
        const QString key = line.left(equals).trimmed();
        Calendar &calendar = calendars.last();
        if (key == QLatin1String("path"))
            calendar.path = *value;
        else if (key == QLatin1String("type"))
            calendar.type = value->toLower();
        else if (key == QLatin1String("color"))
            calendar.color = *value;
        else if (key == QLatin1String("readonly"))
            calendar.readOnly = isTrue(*value);
    }
    for (const Calendar &calendar : std::as_const(calendars)) {
        if (calendar.type == QLatin1String("birthdays"))
            continue; // an address book
        if (calendar.path.isEmpty()) {
            parsed.error = QStringLiteral("the calendar \"%1\" has no path").arg(calendar.name);
            parsed.folders.clear();
            return parsed;
        }
        parsed.folders.append({absoluteFolder(calendar.path, home), Vdir::Kind::Calendar, {}, khalColor(calendar.color),
            calendar.readOnly});
    }
    return parsed;
}

Parsed parseVdirsyncer(const QByteArray &text, const QString &home)
{
    struct Value
    {
        QString text;
        qsizetype line;
    };
    struct Section
    {
        QString kind;
        QString name;
        QHash<QString, Value> values;
    };
    QList<Section> sections;
    QString lastKey;
    Parsed parsed;
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &raw = lines[i];
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        // An indented line goes on with the value above it.
        if (raw.front().isSpace() && !lastKey.isEmpty()) {
            sections.last().values[lastKey].text += QLatin1Char('\n') + line;
            continue;
        }
        lastKey.clear();
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']'))) {
                parsed.error = lineError(i, QStringLiteral("a section heading without its closing bracket"));
                return parsed;
            }
            const QString heading = line.mid(1, line.size() - 2).trimmed();
            const qsizetype space = heading.indexOf(QLatin1Char(' '));
            sections.append({space < 0 ? heading : heading.left(space),
                space < 0 ? QString() : heading.mid(space + 1).trimmed(), {}});
            continue;
        }
        qsizetype delimiter = line.indexOf(QLatin1Char('='));
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon >= 0 && (delimiter < 0 || colon < delimiter))
            delimiter = colon;
        if (delimiter <= 0) {
            parsed.error = lineError(i, QStringLiteral("neither a section nor \"name = value\""));
            return parsed;
        }
        if (sections.isEmpty()) {
            parsed.error = lineError(i, QStringLiteral("a value before the first section"));
            return parsed;
        }
        lastKey = line.left(delimiter).trimmed().toLower();
        sections.last().values.insert(lastKey, {line.mid(delimiter + 1).trimmed(), i});
    }

    // Every value is JSON; vdirsyncer refuses a file where one is not.
    for (const Section &section : std::as_const(sections)) {
        QHash<QString, QJsonValue> values;
        for (auto it = section.values.begin(); it != section.values.end(); ++it) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson('[' + it->text.toUtf8() + ']', &error);
            if (error.error != QJsonParseError::NoError || document.array().size() != 1) {
                parsed.error = lineError(it->line, QStringLiteral("the value of \"%1\" is not JSON").arg(it.key()));
                parsed.folders.clear();
                return parsed;
            }
            values.insert(it.key(), document.array().first());
        }
        if (section.kind != QLatin1String("storage") || section.name.isEmpty())
            continue;
        const QString path = values.value(QStringLiteral("path")).toString();
        if (values.value(QStringLiteral("type")).toString() != QLatin1String("filesystem")
            || values.value(QStringLiteral("fileext")).toString() != QLatin1String(".ics") || path.isEmpty())
            continue;
        parsed.folders.append({absoluteFolder(path, home), Vdir::Kind::Detect, section.name, {},
            values.value(QStringLiteral("read_only")).toBool()});
    }
    return parsed;
}

QString khalConfigPath(const QString &xdgConfigHome, const QString &home)
{
    const QString base = xdgConfigHome.isEmpty() ? home + QStringLiteral("/.config") : xdgConfigHome;
    return base + QStringLiteral("/khal/config");
}

QString vdirsyncerConfigPath(const QString &xdgConfigHome, const QString &home, const QString &vdirsyncerConfig)
{
    if (!vdirsyncerConfig.isEmpty())
        return vdirsyncerConfig;
    const QString base = xdgConfigHome.isEmpty() ? home + QStringLiteral("/.config") : xdgConfigHome;
    for (const QString &candidate :
        {home + QStringLiteral("/.vdirsyncer/config"), base + QStringLiteral("/vdirsyncer/config")}) {
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return {};
}

Found read(const QString &khalConfig, const QString &vdirsyncerConfig, const QString &home)
{
    Found found;
    auto load = [&](const QString &path, Parsed (*parse)(const QByteArray &, const QString &)) {
        if (path.isEmpty() || !QFileInfo::exists(path))
            return Parsed();
        const SafeFile::Read read = SafeFile::readRegularFile(path, MaxConfigSize);
        if (!read.ok()) {
            found.problems.append(QStringLiteral("%1: %2").arg(path, read.error));
            return Parsed();
        }
        Parsed parsed = parse(read.data, home);
        if (!parsed.error.isEmpty())
            found.problems.append(QStringLiteral("%1: %2, not used").arg(path, parsed.error));
        return parsed;
    };
    found.folders = load(khalConfig, parseKhal).folders;
    for (const Vdir::Folder &storage : load(vdirsyncerConfig, parseVdirsyncer).folders) {
        found.folders.append(storage);
        found.accountNames.insert(storage.path, storage.account);
    }
    return found;
}

Found readUsersConfigs(bool withKhal)
{
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty())
        home = QDir::homePath();
    const QString xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    return read(withKhal ? khalConfigPath(xdgConfigHome, home) : QString(),
        vdirsyncerConfigPath(xdgConfigHome, home, qEnvironmentVariable("VDIRSYNCER_CONFIG")), home);
}

} // namespace DesktopCalendarConfigs
