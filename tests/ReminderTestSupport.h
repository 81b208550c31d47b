// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/Clock.h"
#include "calendar/DesktopLauncher.h"
#include "reminders/Notifier.h"
#include "reminders/ReminderScheduler.h"
#include "settings/AppSettings.h"

#include "TestSupport.h"

#include <QTemporaryDir>

namespace TestSupport {

// A notifier that keeps what it was asked to show; the test plays the user.
class FakeNotifier final : public Notifier
{
public:
    quint32 show(const Notification &notification) override
    {
        shown.append(notification);
        return quint32(shown.size());
    }
    // The user chose `key` on the notification `index` (0: the first shown).
    void choose(qsizetype index, const QString &key) { emit actionInvoked(quint32(index + 1), key); }
    QStringList actionKeys(qsizetype index) const
    {
        QStringList keys;
        for (const auto &[key, label] : shown.at(index).actions)
            keys.append(key);
        return keys;
    }
    QStringList summaries() const
    {
        QStringList titles;
        for (const Notification &notification : shown)
            titles.append(notification.summary);
        return titles;
    }

    QList<Notification> shown;
};

class FakeLauncher final : public DesktopLauncher
{
public:
    void openUrl(const QUrl &url) override { opened.append(url); }
    bool openCalendarApp(const QDate &) override { return false; }

    QList<QUrl> opened;
};

// A store of Berlin's calendars, settings, a cache file and a scheduler over
// them, at a moment the test sets; `restart` makes the scheduler anew over
// the same files, as after brivane was started again.
class ReminderRig
{
public:
    explicit ReminderRig(const QDateTime &now)
        : fixture(QTimeZone("Europe/Berlin"), now)
        , settings(files.filePath(QStringLiteral("brivane.conf")))
        , cachePath(files.filePath(QStringLiteral("cache/brivane/reminders")))
    { }

    ReminderScheduler &start()
    {
        if (!fixture.store)
            fixture.start();
        restart();
        return *scheduler;
    }
    ReminderScheduler &restart()
    {
        scheduler.reset();
        notifier.shown.clear();
        scheduler = std::make_unique<ReminderScheduler>(
            *fixture.store, settings, fixture.clock, notifier, launcher, cachePath);
        scheduler->start();
        return *scheduler;
    }
    // Moves the clock to `berlinTime` and lets the scheduler look, as its timer would.
    void at(const QDateTime &when)
    {
        fixture.clock.setNow(when);
        scheduler->check();
    }

    VdirFixture fixture;
    QTemporaryDir files;
    AppSettings settings;
    QString cachePath;
    FakeNotifier notifier;
    FakeLauncher launcher;
    std::unique_ptr<ReminderScheduler> scheduler;
};

} // namespace TestSupport
