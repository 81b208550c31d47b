#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Reading files that other programs (or an attacker) put into the calendar
// folders: only regular files, never more than asked for, and never a read
// that can block (a FIFO waits for a writer forever; /dev/zero never ends).
namespace SafeFile {

// What a file's metadata says about its content: while all four are the same,
// the content is taken to be the same. (A rewrite that keeps size and
// modification time still changes the change time; a file swapped for
// another changes the inode.)
struct FileStamp
{
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    quint64 inode = 0;

    bool isValid() const { return size >= 0; }
    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

// The stamp of a regular file (links followed), or an invalid stamp.
FileStamp stampOf(const QString &path);

struct Read
{
    QByteArray data;
    // Empty when the file was read whole; otherwise what went wrong, for a
    // warning ("permission denied", "a FIFO, not a regular file", …).
    QString error;
    bool tooLarge = false;
    qint64 size = 0; // as the file system reports it
    FileStamp stamp; // taken before the read: a change during it shows later

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
    QList<FileStamp> fileStamps; // parallel to `files`, when asked for
};

enum class Stamps : bool { Skip, Take };

// The entries of a folder, "." and ".." left out. Cheaper than QDir for large
// folders: one readdir, a stat only where the file system does not say the
// type, or of every file when their stamps are asked for (each name looked up
// in the open folder, cheaper than a stat of its whole path, large folders on
// every core). A file that is gone or no longer regular when its stamp is
// taken gets an invalid stamp.
Listing listFolder(const QString &path, Stamps stamps = Stamps::Skip);

// `folder`/`name`, allocated once at its exact size: the store keeps one
// such path per event file.
QString childPath(const QString &folder, const QString &name);

} // namespace SafeFile
