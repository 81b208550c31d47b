// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

// What the reminders remember across restarts: which alarms were shown and
// which are snoozed. One small private file ($XDG_CACHE_HOME/brivane/
// reminders); a file that cannot be read is started afresh.
class ReminderCache
{
public:
    struct Snooze
    {
        QDateTime dueAt; // UTC
        QString eventId; // the occurrence (CalendarEvent::id)
    };

    explicit ReminderCache(QString path);
    static QString defaultPath();

    QString path() const { return m_path; }
    bool wasShown(const QString &key) const { return m_shown.contains(key); }
    // Kept until `forgetAfter`, then pruned.
    void markShown(const QString &key, const QDateTime &forgetAfter);
    const QHash<QString, Snooze> &snoozes() const { return m_snoozes; }
    void snooze(const QString &key, const Snooze &snooze) { m_snoozes.insert(key, snooze); }
    void endSnooze(const QString &key) { m_snoozes.remove(key); }
    // Drops shown alarms whose time to be forgotten is before `now`.
    void prune(const QDateTime &now);

    // Writes the file (0600, atomically); false after a warning when it
    // could not be written.
    bool save() const;

private:
    void load();

    QString m_path;
    QHash<QString, QDateTime> m_shown;
    QHash<QString, Snooze> m_snoozes;
};
