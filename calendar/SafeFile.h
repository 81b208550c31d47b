#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Reading files that other programs (or an attacker) put into the calendar
// folders: only regular files, never more than asked for, and never a read
// that can block (a FIFO waits for a writer forever; /dev/zero never ends).
namespace SafeFile {

struct Read
{
    QByteArray data;
    // Empty when the file was read whole; otherwise what went wrong, for a
    // warning ("permission denied", "a FIFO, not a regular file", …).
    QString error;
    bool tooLarge = false;
    qint64 size = 0; // as the file system reports it

    bool ok() const { return error.isEmpty(); }
};

// Reads at most `maxBytes`; a larger file gives `tooLarge` and no data.
Read readRegularFile(const QString &path, qint64 maxBytes);

// The text of the last failed system call, in lower case as warnings use it.
QString errorText(int error);

struct Listing
{
    QStringList files; // names of entries that look like regular files (or links to one)
    QStringList folders; // names of sub-folders (or links to one)
    QStringList others; // FIFOs, devices, sockets and links to them: never to be read
    QString error; // why the folder could not be read, or empty
};

// The entries of a folder, "." and ".." left out. Cheaper than QDir for large
// folders: one readdir, a stat only where the file system does not say the type.
Listing listFolder(const QString &path);

} // namespace SafeFile
