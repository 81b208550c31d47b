// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"
#include "reminders/ReminderCache.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <optional>

class AppSettings;
class CalendarStore;
class Clock;
class DesktopLauncher;
class Notifier;

// Shows the alarms of the visible calendars' events as notifications when
// they come due, each once, through a `Notifier`. Plans the alarms of the
// days ahead and keeps one timer to the next, never longer than
// MaxWaitMs so that a changed clock or a suspend is noticed. Remembers what
// it showed and what is snoozed in a ReminderCache file.
class ReminderScheduler : public QObject
{
    Q_OBJECT
public:
    static constexpr int SnoozeMinutes = 5;
    static constexpr int MaxWaitMs = 5 * 60 * 1000;
    static constexpr int PlannedDays = 8;
    // An alarm checked later than this after its time was missed (brivane
    // was not running, the machine slept): shown only while its event lasts.
    static constexpr int LateSeconds = 60;

    ReminderScheduler(CalendarStore &store, AppSettings &settings, const Clock &clock, Notifier &notifier,
        DesktopLauncher &launcher, const QString &cachePath = ReminderCache::defaultPath(), QObject *parent = nullptr);

    // Plans now (once the store has loaded) and from then on follows the
    // store, the settings and the timer.
    void start();
    // Plans the alarms anew and shows those due.
    void replan();
    // Shows the planned alarms that are due at the clock's now and sets the
    // timer to the next check.
    void check();
    // The machine woke up: its clock may have moved far.
    void systemResumed() { replan(); }

    struct PlannedAlarm
    {
        QString key;
        QDateTime dueAt; // UTC
        CalendarEvent event;
        QUrl meetingLink;
        bool snoozed = false;
        bool fixedInstant = false; // an absolute trigger
    };
    const QList<PlannedAlarm> &planned() const { return m_planned; }
    // When the timer fires next; invalid while it is stopped.
    QDateTime nextCheck() const { return m_nextCheck; }
    const ReminderCache &cache() const { return m_cache; }

    // The key under which an occurrence's alarm is remembered: the event,
    // the occurrence's start and the trigger.
    static QString alarmKey(const CalendarEvent &event, const EventAlarm &alarm);

signals:
    // The user asked to see the event of a reminder.
    void openEventRequested(const CalendarEvent &event);

private:
    void show(const PlannedAlarm &alarm, const QDateTime &now);
    void actionInvoked(quint32 id, const QString &key);
    void armTimer(const QDateTime &now);
    std::optional<PlannedAlarm> plannedSnooze(const QString &key, const ReminderCache::Snooze &snooze) const;

    CalendarStore &m_store;
    AppSettings &m_settings;
    const Clock &m_clock;
    Notifier &m_notifier;
    DesktopLauncher &m_launcher;
    ReminderCache m_cache;
    QList<PlannedAlarm> m_planned;
    QDateTime m_plannedAt;
    QHash<quint32, PlannedAlarm> m_onScreen;
    QTimer m_timer;
    QDateTime m_nextCheck;
    bool m_started = false;
};
