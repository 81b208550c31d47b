// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

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

// An open file descriptor, closed with its owner; kept to read parts of a
// file again later. It stays the file that was opened: replacing or
// removing its path changes nothing of what it reads.
class OpenFile
{
public:
    OpenFile() = default;
    explicit OpenFile(int fd)
        : m_fd(fd)
    { }
    ~OpenFile();
    OpenFile(OpenFile &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    { }
    OpenFile &operator=(OpenFile &&other) noexcept;
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    // `length` bytes from `offset` into `into`; false when the file no
    // longer holds them all (it was cut short since) or cannot be read.
    // Safe to call from several threads at once.
    bool readAt(qint64 offset, qsizetype length, char *into) const;

private:
    int m_fd = -1;
};

// Reads at most `maxBytes`; a larger file gives `tooLarge` and no data.
// With `keepOpen`, a file read whole is left open there.
Read readRegularFile(const QString &path, qint64 maxBytes, OpenFile *keepOpen = nullptr);

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
// folders: one readdir, and a stat only where the file system does not say
// the type.
Listing listFolder(const QString &path);

// The stamps of `names[first]` to `names[end - 1]` in `folder`, into the same
// places of `stamps`. Each name is looked up in the open folder, cheaper than
// a stat of its whole path; one that is gone or no longer a regular file gets
// an invalid stamp. Callers may take the parts of a large folder on several
// threads at once.
void takeStamps(const QString &folder, const QStringList &names, qsizetype first, qsizetype end, FileStamp *stamps);

// `folder`/`name`.
QString childPath(const QString &folder, const QString &name);

// A path in the file system's encoding (UTF-8), allocated at its exact size:
// the store keeps one per event file.
QByteArray encodedPath(QStringView path);

// `folder`/`name`, `folder` already encoded; allocated at its exact size.
QByteArray encodedChildPath(const QByteArray &folder, QStringView name);

// Appends `text` in UTF-8 (a path put together in a reused buffer).
void appendEncoded(QByteArray &out, QStringView text);

// Writing: a file is written whole under a temporary name beside its target,
// synced, then renamed over the target's name, so that a reader (and a sync
// tool) sees the old file or the new one, never part of one. The rename
// replaces whatever the name is, a link included: nothing is ever written
// through a link.

// Why a write failed, in words ("No space left on device"): what a user
// reads after "Could not write …".
QString writeErrorText(int error);

struct WriteOptions
{
    // The new file's permissions, before the umask (0666: as other programs
    // make files; the index takes 0600).
    unsigned int mode = 0666;
    // Set exactly, whatever the umask: a rewrite keeps the file's own mode.
    std::optional<unsigned int> exactMode;
    // False: the write fails (EEXIST) where the name is already taken.
    bool replaceExisting = true;
    // Called once the new file is complete and synced, just before the
    // rename: false abandons the write (the temporary file goes).
    std::function<bool()> beforeRename;
};

struct WriteResult
{
    bool ok = false;
    bool abandoned = false; // `beforeRename` said no
    int error = 0; // errno of the step that failed
    QString errorText() const { return writeErrorText(error); }
};

WriteResult writeAtomically(const QString &path, const QByteArray &content, const WriteOptions &options = {});

// The steps of a write that tests can make fail, as a full disk or a failing
// device would.
enum class WriteStep { Create, Write, Sync, Close, Rename };
// `fault` returns the errno a step fails with, or 0; an empty function
// (the default) lets every step through.
void setWriteFault(std::function<int(WriteStep)> fault);

// A folder for the program's own files: made (0700) where missing; refused
// when it is not a folder or belongs to another user. Links on the way, a
// user's own (~/.cache on another disk), are followed. Empty when usable,
// else why not.
QString checkPrivateFolder(const QString &path);

} // namespace SafeFile
