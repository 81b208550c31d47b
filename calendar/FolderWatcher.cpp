// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/FolderWatcher.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QVarLengthArray>

#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcWatcher, "brivane.watcher")

namespace {
constexpr uint32_t WatchMask
    = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
}

FolderWatcher::FolderWatcher(QObject *parent)
    : QObject(parent)
    , m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (m_fd < 0) {
        qCWarning(lcWatcher) << "file notifications unavailable; changes by other programs are not seen";
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
}

FolderWatcher::~FolderWatcher()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void FolderWatcher::watch(const QString &dirPath)
{
    if (m_fd < 0 || m_wdByPath.contains(dirPath))
        return;
    const int wd = inotify_add_watch(m_fd, QFile::encodeName(dirPath).constData(), WatchMask);
    if (wd < 0) {
        qCWarning(lcWatcher) << "cannot watch" << dirPath << ":" << qt_error_string(errno);
        return;
    }
    // inotify hands out the same descriptor for the same inode under another name.
    if (const QString old = m_pathByWd.value(wd); !old.isEmpty())
        m_wdByPath.remove(old);
    m_pathByWd.insert(wd, dirPath);
    m_wdByPath.insert(dirPath, wd);
}

void FolderWatcher::unwatch(const QString &dirPath)
{
    const int wd = m_wdByPath.take(dirPath);
    if (wd <= 0)
        return;
    m_pathByWd.remove(wd);
    inotify_rm_watch(m_fd, wd);
}

void FolderWatcher::takePendingEvents()
{
    if (m_fd < 0)
        return;
    // Bounded: a program writing without pause must not keep the caller here.
    constexpr int MaxReads = 64;
    for (int read = 0; read < MaxReads && readEvents(); ++read) { }
}

bool FolderWatcher::readEvents()
{
    int pending = 0;
    if (ioctl(m_fd, FIONREAD, &pending) < 0 || pending <= 0)
        pending = 4096;
    QVarLengthArray<char, 4096> buffer(pending);
    const ssize_t length = ::read(m_fd, buffer.data(), size_t(buffer.size()));
    if (length <= 0)
        return false;

    for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= length;) {
        inotify_event event;
        memcpy(&event, buffer.data() + offset, sizeof(inotify_event));
        const char *nameStart = buffer.data() + offset + sizeof(inotify_event);
        offset += ssize_t(sizeof(inotify_event) + event.len);

        if (event.mask & IN_Q_OVERFLOW) {
            emit overflowed();
            continue;
        }
        const QString dir = m_pathByWd.value(event.wd);
        if (dir.isEmpty())
            continue;
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
            if (event.mask & IN_IGNORED) {
                m_pathByWd.remove(event.wd);
                m_wdByPath.remove(dir);
            }
            emit folderChanged(dir);
            continue;
        }
        const QString name
            = event.len ? QFile::decodeName(QByteArray(nameStart, int(strnlen(nameStart, event.len)))) : QString();
        if (name.isEmpty())
            continue;
        const QString path = dir + QLatin1Char('/') + name;
        if (event.mask & IN_ISDIR)
            emit folderChanged(path);
        else
            emit fileChanged(path);
    }
    return true;
}
