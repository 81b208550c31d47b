// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/VdirLayout.h"

#include "calendar/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

#include <glob.h>
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

namespace {

// What a folder holds, as far as telling its kind goes.
struct Content
{
    QStringList folders; // not hidden
    bool events = false;
    bool metadata = false; // a `displayname` or `color` file
};

Content contentOf(const QString &path, QStringList *problems)
{
    const SafeFile::Listing listing = SafeFile::listFolder(path);
    if (problems && !listing.error.isEmpty())
        noteUnreadable(path, listing.error, *problems);
    Content content;
    for (const QString &name : listing.folders) {
        if (!name.startsWith(QLatin1Char('.')))
            content.folders.append(path + QLatin1Char('/') + name);
    }
    for (const QString &name : listing.files) {
        if (isEventFileName(name))
            content.events = true;
        else if (name == QLatin1String("displayname") || name == QLatin1String("color"))
            content.metadata = true;
    }
    return content;
}

// A folder with sub-folders is no calendar: brivane's own account folders
// have a `displayname` too, and may hold a lone .ics file beside their
// calendars.
bool looksLikeCalendar(const Content &content)
{
    return content.folders.isEmpty() && (content.events || content.metadata);
}

Kind detect(const QString &folder, QStringList *problems)
{
    const Content own = contentOf(folder, problems);
    bool childIsCalendar = false;
    bool hasGrandchildren = false;
    for (const QString &child : own.folders) {
        const Content content = contentOf(child, nullptr);
        for (const QString &grandchild : content.folders) {
            hasGrandchildren = true;
            if (looksLikeCalendar(contentOf(grandchild, nullptr)))
                return Kind::Root;
        }
        childIsCalendar |= looksLikeCalendar(content);
    }
    if (childIsCalendar)
        return Kind::Storage;
    if (looksLikeCalendar(own))
        return Kind::Calendar;
    if (own.folders.isEmpty())
        return Kind::Detect;
    // Nothing holds anything yet: the shape is all there is to go by.
    return hasGrandchildren ? Kind::Root : Kind::Storage;
}

class Scanner
{
public:
    explicit Scanner(const QHash<QString, QString> &accountNames)
    {
        for (auto it = accountNames.begin(); it != accountNames.end(); ++it) {
            const QString path = QFileInfo(it.key()).canonicalFilePath();
            if (!path.isEmpty())
                m_accountNames.insert(path, it.value());
        }
    }

    void add(const Folder &folder)
    {
        for (const QString &match : expandPattern(folder.path)) {
            const QString path = QFileInfo(match).canonicalFilePath();
            if (path.isEmpty() || !QFileInfo(path).isDir())
                continue;
            const Kind kind = folder.kind == Kind::Detect ? detect(path, &layout.problems) : folder.kind;
            switch (kind) {
            case Kind::Root:
                addRoot(path);
                break;
            case Kind::Storage:
                addStorage(path, folder);
                break;
            case Kind::Calendar:
                addLoneCalendar(path, folder);
                break;
            case Kind::Detect:
                layout.emptyFolders.append(path);
                break;
            }
        }
    }

    Layout layout;

private:
    QString accountTitle(const QString &path, const QString &given)
    {
        if (!given.isEmpty())
            return given;
        const QString named = m_accountNames.value(path);
        return named.isEmpty() ? displayNameOf(path, layout.problems) : named;
    }

    // The index of the account of that folder, added where it is new.
    qsizetype source(const QString &path, const QString &title)
    {
        if (const auto it = m_sourceByPath.constFind(path); it != m_sourceByPath.constEnd())
            return *it;
        layout.sources.append({idForPath(path), path, title});
        m_sourceByPath.insert(path, layout.sources.size() - 1);
        return layout.sources.size() - 1;
    }

    void addCalendarFolder(const QString &path, qsizetype sourceIndex, const QString &color, bool readOnly)
    {
        m_seen.insert(path);
        CalendarDir calendar;
        calendar.id = idForPath(path);
        calendar.path = path;
        calendar.title = displayNameOf(path, layout.problems);
        calendar.color = normalizedColor(readMetadataFile(path + QStringLiteral("/color"), layout.problems));
        if (calendar.color.isEmpty())
            calendar.color = color;
        calendar.sourceId = layout.sources[sourceIndex].id;
        calendar.writable = !readOnly && ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
        layout.calendars.append(calendar);
    }

    // The calendars of an account: its folders, and its lone .ics files.
    void addAccountContent(const QString &sourcePath, qsizetype sourceIndex, bool skipHidden, bool readOnly = false)
    {
        SafeFile::Listing listing = SafeFile::listFolder(sourcePath);
        if (!listing.error.isEmpty())
            noteUnreadable(sourcePath, listing.error, layout.problems);
        listing.folders.sort();
        listing.files.sort();
        for (const QString &calendarName : std::as_const(listing.folders)) {
            if (skipHidden && calendarName.startsWith(QLatin1Char('.')))
                continue;
            const QString path = canonical(sourcePath, calendarName);
            if (path.isEmpty() || m_seen.contains(path) || m_sourceByPath.contains(path))
                continue;
            addCalendarFolder(path, sourceIndex, QString(), readOnly);
        }
        for (const QString &fileName : std::as_const(listing.files)) {
            if (!isEventFileName(fileName))
                continue;
            CalendarDir calendar;
            calendar.path = canonical(sourcePath, fileName);
            if (calendar.path.isEmpty() || m_seen.contains(calendar.path))
                continue;
            m_seen.insert(calendar.path);
            calendar.id = idForPath(calendar.path);
            calendar.title = QFileInfo(fileName).completeBaseName();
            calendar.sourceId = layout.sources[sourceIndex].id;
            calendar.singleFile = true;
            calendar.writable = false;
            layout.calendars.append(calendar);
        }
        for (const QString &other : std::as_const(listing.others)) {
            if (isEventFileName(other))
                noteUnreadable(sourcePath + QLatin1Char('/') + other, QStringLiteral("not a regular file, skipped"),
                    layout.problems);
        }
    }

    void addRoot(const QString &root)
    {
        SafeFile::Listing rootListing = SafeFile::listFolder(root);
        if (!rootListing.error.isEmpty())
            noteUnreadable(root, rootListing.error, layout.problems);
        rootListing.folders.sort();
        for (const QString &sourceName : std::as_const(rootListing.folders)) {
            const QString sourcePath = canonical(root, sourceName);
            if (sourcePath.isEmpty() || m_seen.contains(sourcePath) || m_sourceByPath.contains(sourcePath))
                continue;
            const qsizetype index = source(sourcePath, displayNameOf(sourcePath, layout.problems));
            addAccountContent(sourcePath, index, false);
        }
    }

    void addStorage(const QString &path, const Folder &folder)
    {
        if (m_seen.contains(path))
            return;
        // Where it was reached before (as the account of a calendar given
        // alone), its other calendars are added now.
        const qsizetype index = source(path, accountTitle(path, folder.account));
        addAccountContent(path, index, true, folder.readOnly);
    }

    void addLoneCalendar(const QString &path, const Folder &folder)
    {
        if (m_seen.contains(path) || m_sourceByPath.contains(path))
            return;
        const QString parent = QFileInfo(path).absolutePath();
        addCalendarFolder(path, source(parent, accountTitle(parent, folder.account)), folder.color, folder.readOnly);
    }

    QHash<QString, QString> m_accountNames; // by canonical path
    QHash<QString, qsizetype> m_sourceByPath;
    QSet<QString> m_seen; // calendars: folders and single files
};

} // namespace

Kind detectKind(const QString &folder)
{
    return detect(folder, nullptr);
}

QStringList expandPattern(const QString &path)
{
    static const QRegularExpression magic(QStringLiteral("[*?\\[]"));
    if (!path.contains(magic))
        return {path};
    QStringList matches;
    glob_t found = {};
    // Hidden folders match only a pattern that names them, as in a shell.
    if (::glob(QFile::encodeName(path).constData(), GLOB_ONLYDIR, nullptr, &found) == 0) {
        for (size_t i = 0; i < found.gl_pathc; ++i) {
            const QString match = QFile::decodeName(found.gl_pathv[i]);
            if (QFileInfo(match).isDir())
                matches.append(QDir::cleanPath(match));
        }
    }
    ::globfree(&found);
    matches.sort();
    return matches;
}

QString expandHome(const QString &path, const QString &home)
{
    if (path == QLatin1String("~"))
        return home;
    if (path.startsWith(QLatin1String("~/")))
        return home + path.mid(1);
    return path;
}

Layout scan(const QList<Folder> &folders, const QHash<QString, QString> &accountNames)
{
    Scanner scanner(accountNames);
    for (const Folder &folder : folders)
        scanner.add(folder);
    return std::move(scanner.layout);
}

Layout scan(const QStringList &roots)
{
    QList<Folder> folders;
    for (const QString &root : roots)
        folders.append({root, Kind::Root, {}, {}, false});
    return scan(folders);
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
