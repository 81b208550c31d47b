// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringBuilder>

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFile {
namespace {

QString kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QCoreApplication::translate("SafeFile", "a FIFO, not a regular file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QCoreApplication::translate("SafeFile", "a device, not a regular file");
    if (S_ISSOCK(mode))
        return QCoreApplication::translate("SafeFile", "a socket, not a regular file");
    if (S_ISDIR(mode))
        return QCoreApplication::translate("SafeFile", "a folder, not a file");
    return QCoreApplication::translate("SafeFile", "not a regular file");
}

FileStamp stampFrom(const struct stat &info)
{
    FileStamp stamp;
    stamp.size = info.st_size;
    stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changedNs = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    stamp.inode = info.st_ino;
    return stamp;
}

} // namespace

FileStamp stampOf(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return stampFrom(info);
}

QString errorText(int error)
{
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

OpenFile::~OpenFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

OpenFile &OpenFile::operator=(OpenFile &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool OpenFile::readAt(qint64 offset, qsizetype length, char *into) const
{
    if (m_fd < 0 || offset < 0 || length < 0)
        return false;
    qsizetype filled = 0;
    while (filled < length) {
        const ssize_t got = ::pread(m_fd, into + filled, size_t(length - filled), off_t(offset + filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        filled += got;
    }
    return true;
}

Read readRegularFile(const QString &path, qint64 maxBytes, OpenFile *keepOpen)
{
    Read result;
    // O_NONBLOCK: opening a FIFO must not wait for a writer. The type is
    // checked on the open descriptor, so a file swapped for a link to a
    // device in between is still caught.
    OpenFile fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.descriptor() < 0) {
        result.error = errorText(errno);
        return result;
    }
    struct stat info;
    if (::fstat(fd.descriptor(), &info) != 0) {
        result.error = errorText(errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.error = kindOf(info.st_mode);
        return result;
    }
    result.size = info.st_size;
    result.stamp = stampFrom(info);
    if (info.st_size > maxBytes) {
        result.tooLarge = true;
        result.error
            = QCoreApplication::translate("SafeFile", "file of %1 bytes is too large to read").arg(info.st_size);
        return result;
    }
    // The file may grow while it is read; never take more than the bound.
    result.data.resize(qsizetype(info.st_size) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == result.data.size()) {
            if (filled > maxBytes) {
                result.data.clear();
                result.tooLarge = true;
                result.error = QCoreApplication::translate("SafeFile", "file grew beyond %1 bytes while being read")
                                   .arg(maxBytes);
                return result;
            }
            result.data.resize(qMin<qint64>(maxBytes + 1, qint64(filled) * 2 + 4096));
        }
        const ssize_t got = ::read(fd.descriptor(), result.data.data() + filled, size_t(result.data.size() - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result.error = errorText(errno);
            result.data.clear();
            return result;
        }
        if (got == 0)
            break;
        filled += got;
    }
    result.data.truncate(filled);
    if (keepOpen)
        *keepOpen = std::move(fd);
    return result;
}

QString childPath(const QString &folder, const QString &name)
{
    return folder % QLatin1Char('/') % name;
}

void appendEncoded(QByteArray &out, QStringView text)
{
    // Names are nearly always ASCII: copied without a converted copy first.
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char *to = out.data() + start;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            out.resize(start);
            out.append(text.toUtf8());
            return;
        }
        *to++ = char(c.unicode());
    }
}

QByteArray encodedPath(QStringView path)
{
    QByteArray encoded;
    appendEncoded(encoded, path);
    // The conversion may leave room to spare; the copy has none.
    return QByteArray(encoded.constData(), encoded.size());
}

QByteArray encodedChildPath(const QByteArray &folder, QStringView name)
{
    QByteArray path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    path.append('/');
    appendEncoded(path, name);
    if (path.capacity() == path.size())
        return path;
    return QByteArray(path.constData(), path.size());
}

Listing listFolder(const QString &path)
{
    Listing listing;
    const QByteArray encoded = QFile::encodeName(path);
    DIR *dir = ::opendir(encoded.constData());
    if (!dir) {
        listing.error = errorText(errno);
        return listing;
    }
    const int dirFd = ::dirfd(dir);
    errno = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN || type == DT_LNK) {
            // Follow links: a link to a calendar folder is a calendar folder.
            struct stat info = {};
            if (::fstatat(dirFd, name, &info, 0) != 0)
                continue; // a dangling link, or gone since the readdir
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR)
            listing.folders.append(QFile::decodeName(name));
        else if (type == DT_REG)
            listing.files.append(QFile::decodeName(name));
        else
            listing.others.append(QFile::decodeName(name));
        errno = 0;
    }
    if (errno != 0)
        listing.error = errorText(errno);
    ::closedir(dir);
    return listing;
}

void takeStamps(const QString &folder, const QStringList &names, qsizetype first, qsizetype end, FileStamp *stamps)
{
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        std::fill(stamps + first, stamps + end, FileStamp());
        return;
    }
    const OpenFile closing(dirFd);
    QByteArray name; // one buffer for every name
    for (qsizetype i = first; i < end; ++i) {
        name.resize(0);
        appendEncoded(name, names[i]);
        struct stat info = {};
        // Gone or no longer a regular file: an invalid stamp, and the reader
        // says what it is.
        if (::fstatat(dirFd, name.constData(), &info, 0) == 0 && S_ISREG(info.st_mode))
            stamps[i] = stampFrom(info);
        else
            stamps[i] = FileStamp();
    }
}

namespace {

std::function<int(WriteStep)> &writeFault()
{
    static std::function<int(WriteStep)> fault;
    return fault;
}

// Whether a test wants `step` to fail; if so, errno is what it fails with,
// and the failure takes the same path as the system's own.
bool failsWith(WriteStep step)
{
    const auto &fault = writeFault();
    const int error = fault ? fault(step) : 0;
    if (error != 0)
        errno = error;
    return error != 0;
}

bool writeAll(int fd, const QByteArray &content, int *error)
{
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t n = failsWith(WriteStep::Write)
            ? -1
            : ::write(fd, content.constData() + written, size_t(content.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A write of nothing, with no error, is a full device too.
            *error = n < 0 ? errno : ENOSPC;
            return false;
        }
        written += n;
    }
    return true;
}

// Makes the rename itself last across a crash; where the file system cannot
// sync a folder, the file is in place all the same.
void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

int renameInPlace(const QByteArray &from, const QByteArray &to, bool replaceExisting)
{
    if (failsWith(WriteStep::Rename))
        return errno;
    if (replaceExisting)
        return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without RENAME_NOREPLACE: a hard link is made only where
    // the name is free.
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    ::unlink(from.constData());
    return 0;
}

} // namespace

QString writeErrorText(int error)
{
    return error == 0 ? QString() : QString::fromLocal8Bit(std::strerror(error));
}

void setWriteFault(std::function<int(WriteStep)> fault)
{
    writeFault() = std::move(fault);
}

WriteResult writeAtomically(const QString &path, const QByteArray &content, const WriteOptions &options)
{
    WriteResult result;
    const QFileInfo target(path);
    const QByteArray encoded = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(target.path());
    // A dot name with a random tail: readers of calendar folders pass over
    // dot files, and no one else can have made it beforehand (O_EXCL), not
    // even as a link.
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        temporary = folder + "/." + QFile::encodeName(target.fileName()) + '.'
            + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
        fd = failsWith(WriteStep::Create)
            ? -1
            : ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                mode_t(options.mode));
        if (fd < 0 && errno != EEXIST) {
            result.error = errno;
            return result;
        }
    }
    if (fd < 0) {
        result.error = EEXIST;
        return result;
    }
    auto discard = [&](int error) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
        result.error = error;
        return result;
    };
    int error = 0;
    if (!writeAll(fd, content, &error))
        return discard(error);
    if (options.exactMode && ::fchmod(fd, mode_t(*options.exactMode)) != 0)
        return discard(errno);
    if ((failsWith(WriteStep::Sync) || ::fsync(fd) != 0) && errno != EINVAL)
        return discard(errno);
    // A network file system may report a failed write only here.
    const bool closed = ::close(std::exchange(fd, -1)) == 0;
    if ((!closed || failsWith(WriteStep::Close)) && errno != EINTR)
        return discard(errno);
    if (options.beforeRename && !options.beforeRename()) {
        ::unlink(temporary.constData());
        result.abandoned = true;
        return result;
    }
    if (const int renameError = renameInPlace(temporary, encoded, options.replaceExisting))
        return discard(renameError);
    syncFolder(folder);
    result.ok = true;
    return result;
}

QString checkPrivateFolder(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info = {};
    if (::stat(encoded.constData(), &info) != 0) {
        if (errno != ENOENT)
            return writeErrorText(errno);
        const QString parent = QFileInfo(path).path();
        if (!QDir().mkpath(parent))
            return QCoreApplication::translate("SafeFile", "cannot make the folder %1").arg(parent);
        if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST)
            return writeErrorText(errno);
        if (::stat(encoded.constData(), &info) != 0)
            return writeErrorText(errno);
    }
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is not a folder").arg(path);
    if (info.st_uid != ::geteuid())
        return QStringLiteral("%1 belongs to another user").arg(path);
    return {};
}

} // namespace SafeFile
