// SPDX-License-Identifier: GPL-3.0-or-later
#include "reminders/ReminderScheduler.h"

#include "calendar/CalendarEventManager.h"
#include "calendar/CalendarStore.h"
#include "calendar/Clock.h"
#include "calendar/DesktopLauncher.h"
#include "calendar/EventAlarms.h"
#include "calendar/EventFormatting.h"
#include "calendar/MeetingLinks.h"
#include "reminders/Notifier.h"
#include "settings/AppSettings.h"

#include <QLocale>
#include <QSet>

#include <algorithm>

namespace {
const QString JoinAction = QStringLiteral("join");
const QString OpenAction = QStringLiteral("open");
const QString SnoozeAction = QStringLiteral("snooze");
// Events are read this far around the planned days: an alarm may come after
// its event's end, or days before its start.
constexpr qint64 ReachSeconds = 86400;
// Planned days are read anew once this much of them has passed.
constexpr qint64 ReplanSeconds = 86400;
} // namespace

ReminderScheduler::ReminderScheduler(CalendarStore &store, AppSettings &settings, const Clock &clock,
    Notifier &notifier, DesktopLauncher &launcher, const QString &cachePath, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_settings(settings)
    , m_clock(clock)
    , m_notifier(notifier)
    , m_launcher(launcher)
    , m_cache(cachePath)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ReminderScheduler::check);
    connect(&m_notifier, &Notifier::actionInvoked, this, &ReminderScheduler::actionInvoked);
    connect(&m_notifier, &Notifier::closed, this, [this](quint32 id) { m_onScreen.remove(id); });
}

void ReminderScheduler::start()
{
    if (m_started)
        return;
    m_started = true;
    connect(&m_store, &CalendarStore::changed, this, &ReminderScheduler::replan);
    connect(&m_store, &CalendarStore::loaded, this, &ReminderScheduler::replan);
    connect(&m_settings, &AppSettings::showRemindersChanged, this, &ReminderScheduler::replan);
    connect(&m_settings, &AppSettings::defaultReminderMinutesChanged, this, &ReminderScheduler::replan);
    connect(&m_settings, &AppSettings::hiddenCalendarIdsChanged, this, &ReminderScheduler::replan);
    replan();
}

QString ReminderScheduler::alarmKey(const CalendarEvent &event, const EventAlarm &alarm)
{
    // A fixed instant is one alarm for the whole series, whichever
    // occurrence is at hand when it comes.
    const QString start = alarm.anchor == EventAlarm::Anchor::Instant ? QStringLiteral("*")
        : event.allDay                                                ? event.startDate.toString(Qt::ISODate)
                       : event.start.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    return event.eventIdentifier + QLatin1Char('|') + start + QLatin1Char('|') + EventAlarms::triggerKey(alarm);
}

std::optional<ReminderScheduler::PlannedAlarm> ReminderScheduler::plannedSnooze(
    const QString &key, const ReminderCache::Snooze &snooze) const
{
    const std::optional<CalendarEvent> event = m_store.eventById(snooze.eventId);
    if (!event)
        return std::nullopt;
    PlannedAlarm alarm {key, snooze.dueAt, *event, MeetingLinks::find(m_store.eventDetails(*event)), true, false};
    return alarm;
}

void ReminderScheduler::replan()
{
    m_planned.clear();
    m_plannedAt = {};
    if (!m_settings.showReminders() || !m_store.isLoaded()) {
        m_timer.stop();
        m_nextCheck = {};
        return;
    }
    const QDateTime now = m_clock.now().toUTC();
    const QTimeZone zone = m_clock.timeZone();
    const QDateTime horizon = now.addDays(PlannedDays);
    m_plannedAt = now;
    m_cache.prune(now);

    // Hidden calendars stay silent; with all of them hidden, all do.
    const QSet<QString> visible = CalendarEventManager::visibleCalendarIds(m_store, m_settings.hiddenCalendarIds());
    if (!visible.isEmpty()) {
        const int defaultMinutes = m_settings.defaultReminderMinutes();
        QSet<QString> instantsTaken;
        const QList<CalendarEvent> events
            = m_store.events(now.addSecs(-ReachSeconds), horizon.addSecs(ReachSeconds), visible);
        for (const CalendarEvent &event : events) {
            const EventDetails details = m_store.eventDetails(event);
            QList<EventAlarm> alarms = details.alarms;
            if (alarms.isEmpty() && !event.allDay && defaultMinutes != AppSettings::NoDefaultReminder)
                alarms.append({EventAlarm::Anchor::Start, -qint64(defaultMinutes) * 60, {}});
            QUrl link;
            bool linkFound = false;
            for (const EventAlarm &alarm : alarms) {
                const std::optional<QDateTime> due = EventAlarms::dueAt(alarm, event, zone);
                if (!due || *due > horizon)
                    continue;
                const QString key = alarmKey(event, alarm);
                // A fixed instant reminds once, not for every occurrence of a series.
                if (alarm.anchor == EventAlarm::Anchor::Instant) {
                    if (instantsTaken.contains(key))
                        continue;
                    instantsTaken.insert(key);
                }
                if (m_cache.wasShown(key))
                    continue;
                if (!linkFound) {
                    link = MeetingLinks::find(details);
                    linkFound = true;
                }
                m_planned.append({key, *due, event, link, false, alarm.anchor == EventAlarm::Anchor::Instant});
            }
        }
        const QHash<QString, ReminderCache::Snooze> snoozes = m_cache.snoozes();
        bool snoozesChanged = false;
        for (auto it = snoozes.begin(); it != snoozes.end(); ++it) {
            std::optional<PlannedAlarm> snoozed = plannedSnooze(it.key(), it.value());
            if (!snoozed || !visible.contains(snoozed->event.calendarId)) {
                // The event is gone or hidden: its snooze with it.
                m_cache.endSnooze(it.key());
                snoozesChanged = true;
                continue;
            }
            m_planned.append(*snoozed);
        }
        if (snoozesChanged)
            m_cache.save();
    }
    std::stable_sort(m_planned.begin(), m_planned.end(),
        [](const PlannedAlarm &a, const PlannedAlarm &b) { return a.dueAt < b.dueAt; });
    check();
}

void ReminderScheduler::check()
{
    if (!m_settings.showReminders() || !m_plannedAt.isValid()) {
        m_timer.stop();
        m_nextCheck = {};
        return;
    }
    const QDateTime now = m_clock.now().toUTC();
    // A day on, or a clock turned back before the plan: the days ahead are read anew.
    if (now < m_plannedAt || m_plannedAt.secsTo(now) > ReplanSeconds) {
        replan();
        return;
    }
    bool changed = false;
    while (!m_planned.isEmpty() && m_planned.front().dueAt <= now) {
        const PlannedAlarm alarm = m_planned.takeFirst();
        if (alarm.snoozed) {
            m_cache.endSnooze(alarm.key);
            show(alarm, now);
            changed = true;
            continue;
        }
        if (m_cache.wasShown(alarm.key))
            continue;
        // Kept until a day after the alarm or the event's end, whichever
        // is later, so that it is not shown again while the event lasts. A
        // series' fixed instant is kept a day: later occurrences would
        // bring it back, and it is not shown more than a day late.
        const QDateTime forgetAfter = alarm.fixedInstant ? alarm.dueAt : qMax(alarm.dueAt, alarm.event.end.toUTC());
        m_cache.markShown(alarm.key, forgetAfter.addSecs(ReachSeconds));
        changed = true;
        const qint64 lateBy = alarm.dueAt.secsTo(now);
        if (lateBy > LateSeconds && alarm.event.end.toUTC() <= now)
            continue; // missed, and its event is over
        if (alarm.fixedInstant && lateBy > ReachSeconds)
            continue;
        show(alarm, now);
    }
    if (changed)
        m_cache.save();
    armTimer(now);
}

void ReminderScheduler::armTimer(const QDateTime &now)
{
    qint64 waitMs = MaxWaitMs;
    if (!m_planned.isEmpty())
        waitMs = qBound(qint64(0), now.msecsTo(m_planned.front().dueAt), qint64(MaxWaitMs));
    m_nextCheck = now.addMSecs(waitMs);
    m_timer.start(int(waitMs));
}

void ReminderScheduler::show(const PlannedAlarm &alarm, const QDateTime &now)
{
    const CalendarEvent &event = alarm.event;
    const QTimeZone zone = m_clock.timeZone();
    Notification notification;
    notification.summary = EventFormatting::displayTitle(event);
    QString when = EventFormatting::timeText(event, zone);
    if (!event.allDay) {
        // Another day than today is named.
        const QDate day = event.start.toTimeZone(zone).date();
        if (day != now.toTimeZone(zone).date())
            when = QLocale().toString(day, QLocale::ShortFormat) + QLatin1Char(' ') + when;
    }
    const QString relative = EventFormatting::relativeTimeLabel(event.start, event.end, now);
    notification.body = tr("%1 (%2)").arg(when, relative);
    if (!event.calendarTitle.isEmpty())
        notification.body += QLatin1Char('\n') + event.calendarTitle;
    if (alarm.meetingLink.isValid())
        notification.actions.append({JoinAction, tr("Join")});
    notification.actions.append({OpenAction, tr("Open")});
    notification.actions.append({SnoozeAction, tr("Snooze")});
    const quint32 id = m_notifier.show(notification);
    if (id != 0)
        m_onScreen.insert(id, alarm);
}

void ReminderScheduler::actionInvoked(quint32 id, const QString &key)
{
    const auto found = m_onScreen.constFind(id);
    if (found == m_onScreen.constEnd())
        return;
    const PlannedAlarm alarm = found.value();
    if (key == JoinAction && alarm.meetingLink.isValid()) {
        m_launcher.openUrl(alarm.meetingLink);
    } else if (key == OpenAction) {
        emit openEventRequested(alarm.event);
    } else if (key == SnoozeAction) {
        const QDateTime now = m_clock.now().toUTC();
        m_cache.snooze(alarm.key, {now.addSecs(SnoozeMinutes * 60), alarm.event.id});
        m_cache.save();
        replan();
    }
}
