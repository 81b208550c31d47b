// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSet>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>
#include <optional>

// The user's choices, kept in one INI file ($XDG_CONFIG_HOME/brivane/
// brivane.conf). Every assignment is written at once; nothing is re-read
// from the file while the program runs.
class AppSettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList hiddenCalendarIds READ hiddenCalendarIdList NOTIFY hiddenCalendarIdsChanged)
    Q_PROPERTY(bool dimWeekends READ dimWeekends WRITE setDimWeekends NOTIFY dimWeekendsChanged)
    Q_PROPERTY(bool todayExpanded READ todayExpanded WRITE setTodayExpanded NOTIFY todayExpandedChanged)
    Q_PROPERTY(bool upcomingExpanded READ upcomingExpanded WRITE setUpcomingExpanded NOTIFY upcomingExpandedChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(bool showWeekNumbers READ showWeekNumbers WRITE setShowWeekNumbers NOTIFY showWeekNumbersChanged)
    Q_PROPERTY(bool showReminders READ showReminders WRITE setShowReminders NOTIFY showRemindersChanged)
    Q_PROPERTY(int defaultReminderMinutes READ defaultReminderMinutes WRITE setDefaultReminderMinutes NOTIFY
            defaultReminderMinutesChanged)
public:
    // The process-wide instance, created on first use from any thread.
    static AppSettings &shared();
    static QString defaultFilePath();

    explicit AppSettings(const QString &filePath, QObject *parent = nullptr);

    // The calendars the user hid, by the store's identifiers, Zoho's among
    // them. Files from before Zoho's calendars joined the store keep Zoho's
    // apart ("hiddenZohoCalendarIDs", by Zoho's ids): read into this set, and
    // the old key removed with the next write of the set.
    QSet<QString> hiddenCalendarIds() const { return m_hiddenCalendarIds; }
    void setHiddenCalendarIds(const QSet<QString> &ids);
    bool dimWeekends() const { return m_dimWeekends; }
    void setDimWeekends(bool dim);
    // Whether the popover's sections are open; open until the user closes one.
    bool todayExpanded() const { return m_todayExpanded; }
    void setTodayExpanded(bool expanded);
    bool upcomingExpanded() const { return m_upcomingExpanded; }
    void setUpcomingExpanded(bool expanded);
    // Whether brivane starts at login (off until the user turns it on).
    bool launchAtLogin() const { return m_launchAtLogin; }
    void setLaunchAtLogin(bool launch);
    // Whether the month grid shows ISO week numbers (off until turned on).
    bool showWeekNumbers() const { return m_showWeekNumbers; }
    void setShowWeekNumbers(bool show);
    // Whether events' alarms come up as desktop notifications (on until
    // turned off).
    bool showReminders() const { return m_showReminders; }
    void setShowReminders(bool show);
    // Minutes before its start at which a timed event without alarms of its
    // own reminds; NoDefaultReminder (the default) gives such events none.
    static constexpr int NoDefaultReminder = -1;
    static constexpr int MaxDefaultReminderMinutes = 7 * 24 * 60;
    int defaultReminderMinutes() const { return m_defaultReminderMinutes; }
    // Values outside NoDefaultReminder..MaxDefaultReminderMinutes turn it off.
    void setDefaultReminderMinutes(int minutes);

    Q_INVOKABLE void toggleCalendar(const QString &calendarIdentifier);

    // Whether the first-run window has been completed. Read from the file on
    // every call: the launch and every left click ask anew.
    bool onboardingComplete() const;
    void setOnboardingComplete(bool complete);

    // Whether Zoho is connected, as the last connect or disconnect of any
    // brivane process noted it; nothing in settings from before the note.
    // The tokens' store (the desktop's keyring) is asked only when it says
    // so. Read from the file on every call.
    std::optional<bool> zohoConnected() const;
    void setZohoConnected(bool connected);

    // Further folders of calendars (vdirsyncer's, say), read at start; and
    // whether the file sets them at all (set empty, it shows none).
    QStringList calendarFolders() const;
    bool hasCalendarFolders() const;

    // Zoho's servers for the account's data centre.
    QUrl zohoAccountsUrl() const;
    QUrl zohoCalendarUrl() const;

    QString filePath() const { return m_filePath; }
    // False when the file could not be used (not a regular file, or not
    // readable): choices then last until the program quits.
    bool isPersistent() const { return m_persistent; }

signals:
    void hiddenCalendarIdsChanged();
    void dimWeekendsChanged();
    void todayExpandedChanged();
    void upcomingExpandedChanged();
    void launchAtLoginChanged();
    void showWeekNumbersChanged();
    void showRemindersChanged();
    void defaultReminderMinutesChanged();

private:
    QStringList hiddenCalendarIdList() const { return m_hiddenCalendarIds.values(); }
    QSet<QString> readIdSet(const QString &key) const;
    void readLegacyZohoSet();
    void writeIdSet(const QString &key, const QSet<QString> &ids);
    void writeBool(const QString &key, bool value);

    // Decides where QSettings may read and write, before it touches the file
    // (a FIFO in its place would block the first read forever).
    // The fallback folder is made only when the file cannot be used: the
    // shared instance lives until exit, so a folder made on every start would
    // be left behind by every run.
    static QString usablePath(const QString &filePath, std::unique_ptr<QTemporaryDir> &fallback, bool &persistent);

    QString m_filePath;
    std::unique_ptr<QTemporaryDir> m_fallbackDir;
    bool m_persistent = true;
    mutable QSettings m_settings;
    QSet<QString> m_hiddenCalendarIds;
    // The old Zoho set was read into the new one: with the next write of
    // the set, all that remains of it is what was no name.
    bool m_legacyZohoSetCarried = false;
    QVariantList m_legacyZohoLeftovers;
    bool m_dimWeekends = false;
    bool m_todayExpanded = true;
    bool m_upcomingExpanded = true;
    bool m_launchAtLogin = false;
    bool m_showWeekNumbers = false;
    bool m_showReminders = true;
    int m_defaultReminderMinutes = NoDefaultReminder;
};
