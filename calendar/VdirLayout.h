#pragma once

#include "calendar/SafeFile.h"

#include <QList>
#include <QString>
#include <QStringList>

// The folder layout of vdirsyncer and khal: a root holds one folder per
// account (source), each holding one folder per calendar with optional
// `displayname` and `color` files and one .ics file per event. A lone .ics
// file in an account folder (a downloaded holiday calendar) is a read-only
// calendar of its own.
namespace Vdir {

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
    // Folders and files that could not be read, one line each, for warnings.
    QStringList problems;
};

QString idForPath(const QString &absolutePath);

// Reads the folders (not the events) below the given roots. Missing roots are
// skipped; the same folder reached twice is listed once.
Layout scan(const QStringList &roots);

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
