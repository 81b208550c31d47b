#include "calendar/SafeFile.h"

#include <QFile>
#include <QStringBuilder>

#include <algorithm>
#include <cerrno>
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
        return QStringLiteral("a FIFO, not a regular file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device, not a regular file");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket, not a regular file");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder, not a file");
    return QStringLiteral("not a regular file");
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
        result.error = QStringLiteral("file of %1 bytes is too large to read").arg(info.st_size);
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
                result.error = QStringLiteral("file grew beyond %1 bytes while being read").arg(maxBytes);
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

} // namespace SafeFile
