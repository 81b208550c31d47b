// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QSocketNotifier;

// Reports changes inside watched folders, naming the file that changed, so
// that the store re-reads that file alone. Linux inotify: one watch per
// folder, none per file.
class FolderWatcher : public QObject
{
    Q_OBJECT
public:
    explicit FolderWatcher(QObject *parent = nullptr);
    ~FolderWatcher() override;

    bool isActive() const { return m_fd >= 0; }
    void watch(const QString &dirPath);
    void unwatch(const QString &dirPath);
    // Reports now what the kernel has noted so far, without waiting for the
    // event loop: every change made before this call is among it.
    void takePendingEvents();

signals:
    // A file inside a watched folder was written, created, removed or moved.
    void fileChanged(const QString &path);
    // A folder appeared in or vanished from a watched folder, or a watched
    // folder itself went away.
    void folderChanged(const QString &path);
    // Events were lost; everything has to be looked at again.
    void overflowed();

private:
    // False when nothing was there to read.
    bool readEvents();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QHash<int, QString> m_pathByWd;
    QHash<QString, int> m_wdByPath;
};
