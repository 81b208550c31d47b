// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/SafeFile.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The folder layouts of vdirsyncer and khal. A calendar is a folder of .ics
// files, one per event, with optional `displayname` and `color` files. A
// storage (vdirsyncer's word; an account here) holds one folder per
// calendar; a root holds one folder per account. A lone .ics file in an
// account folder (a downloaded holiday calendar) is a read-only calendar of
// its own.
namespace Vdir {

// What a folder given to `scan` is.
enum class Kind {
    Detect, // told by what it holds (see `detectKind`)
    Root,
    Storage,
    Calendar,
};

struct Folder
{
    // An absolute path; a `*`, `?` or `[` in it makes it a pattern, matched
    // anew at every scan, each match a folder of this kind.
    QString path;
    Kind kind = Kind::Detect;
    // Of a storage, or of the folder holding a calendar: the account's name
    // where a configuration gives one (else the folder's own).
    QString account;
    // A calendar's colour where its folder has no `color` file: "#RRGGBB".
    QString color;
    // Shown read-only even where the folder could be written.
    bool readOnly = false;
};

struct SourceDir
{
    QString id;
    QString path;
    QString title;
};

struct CalendarDir
{
    QString id;
    QString path; // the folder, or the file of a single-file calendar
    QString title;
    QString color;
    QString sourceId;
    bool singleFile = false;
    bool writable = false;
};

struct Layout
{
    QList<SourceDir> sources;
    QList<CalendarDir> calendars;
    // Folders that hold no calendar yet but may: watched so that one appears
    // as soon as it is made.
    QStringList emptyFolders;
    // Folders and files that could not be read, one line each, for warnings.
    QStringList problems;
};

QString idForPath(const QString &absolutePath);

// Reads the folders (not the events) below the given folders. Missing ones
// are skipped; the same folder reached twice is listed once, as the first
// reached it. `accountNames` (absolute folder path → name) names the
// accounts of storages and of the folders holding a calendar given alone;
// the accounts of a root keep their folders' names.
Layout scan(const QList<Folder> &folders, const QHash<QString, QString> &accountNames = {});
// The same for roots alone.
Layout scan(const QStringList &roots);

// What a folder holds, told by its content and never by its depth alone: a
// folder with no sub-folder that holds .ics files, a `displayname` or a
// `color` file is a calendar; a folder of calendars a storage; a folder of
// storages a root. A folder whose sub-folders say nothing yet is a storage of
// empty calendars, or a root where they hold folders themselves. An empty
// folder says nothing: Detect, and nothing is shown of it until it holds
// something. Hidden entries are left out.
Kind detectKind(const QString &folder);

// The folders a pattern (see `Folder::path`) matches, sorted; the path itself
// when it holds no pattern.
QStringList expandPattern(const QString &path);

// `~` and `~/…` made absolute with `home`.
QString expandHome(const QString &path, const QString &home);

// The event files of a calendar folder (its .ics files, hidden ones skipped),
// or the one file of a single-file calendar. What cannot be read (the folder,
// or .ics entries that are FIFOs, devices and the like) goes to `problems`.
QStringList eventFiles(const CalendarDir &calendar, QStringList *problems = nullptr);

// The same for a calendar folder, as names within it; empty for a
// single-file calendar. Spares a large folder a path per file.
QStringList eventFileNames(const CalendarDir &calendar, QStringList *problems = nullptr);

bool isEventFileName(const QString &fileName);

// Creates the default root with the "Local" account and its "Personal"
// calendar when the root does not exist yet. Returns false on failure.
bool ensureDefaultRoot(const QString &root);

// The longest `displayname` or `color` file that is read.
constexpr qint64 MaxMetadataFileSize = 4096;

// "#RRGGBB" from a colour file's text (an alpha suffix is dropped), or empty.
QString normalizedColor(const QByteArray &text);

} // namespace Vdir
