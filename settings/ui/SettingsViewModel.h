// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/ui/CalendarsTabViewModel.h"
#include "settings/ui/IntegrationsTabViewModel.h"

#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <functional>

class AppSettings;
class CalendarStore;
class DesktopLauncher;
class ZohoAuthManager;

// The Appearance tab: weekend dimming, week numbers, starting at login and
// reminders, written as the switches and the picker report them.
class AppearanceTabViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the settings window's view model")
    Q_PROPERTY(bool dimWeekends READ dimWeekends WRITE setDimWeekends NOTIFY dimWeekendsChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(QString launchAtLoginError READ launchAtLoginError NOTIFY launchAtLoginErrorChanged)
    Q_PROPERTY(bool showWeekNumbers READ showWeekNumbers WRITE setShowWeekNumbers NOTIFY showWeekNumbersChanged)
    Q_PROPERTY(bool showReminders READ showReminders WRITE setShowReminders NOTIFY showRemindersChanged)
    Q_PROPERTY(QStringList defaultReminderChoices READ defaultReminderChoices CONSTANT)
    Q_PROPERTY(int defaultReminderIndex READ defaultReminderIndex WRITE setDefaultReminderIndex NOTIFY
            defaultReminderIndexChanged)
public:
    // The default reminder's choices, in the picker's order: minutes before
    // the start, AppSettings::NoDefaultReminder for none.
    static constexpr int DefaultReminderMinutes[] = {-1, 0, 1, 5, 10};
    // Writes or removes the autostart entry; the reason in words when that
    // failed, else an empty string.
    using AutostartWriter = std::function<QString(bool enabled)>;

    // Without a writer, the entry in $XDG_CONFIG_HOME/autostart starts this program.
    explicit AppearanceTabViewModel(
        AppSettings &settings, AutostartWriter writeAutostart = {}, QObject *parent = nullptr);
    bool dimWeekends() const;
    void setDimWeekends(bool dim);
    bool launchAtLogin() const;
    // The setting changes only when the entry could be written or removed:
    // the switch never claims what the desktop will not do.
    void setLaunchAtLogin(bool launch);
    QString launchAtLoginError() const { return m_launchAtLoginError; }
    bool showWeekNumbers() const;
    void setShowWeekNumbers(bool show);
    bool showReminders() const;
    void setShowReminders(bool show);
    QStringList defaultReminderChoices() const;
    // The picker's entry for the setting; a value put into the settings file
    // by hand that is not among the choices shows as the nearest choice.
    int defaultReminderIndex() const;
    // Out-of-range indexes are ignored.
    void setDefaultReminderIndex(int index);

signals:
    void dimWeekendsChanged();
    void launchAtLoginChanged();
    void launchAtLoginErrorChanged();
    void showWeekNumbersChanged();
    void showRemindersChanged();
    void defaultReminderIndexChanged();

private:
    AppSettings &m_settings;
    AutostartWriter m_writeAutostart;
    QString m_launchAtLoginError;
};

// The settings window: which tab is on show, and the three tabs' models.
// A new window starts on the first tab; nothing here is kept.
class SettingsViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the application")
    Q_PROPERTY(int selectedTab READ selectedTab WRITE setSelectedTab NOTIFY selectedTabChanged)
    Q_PROPERTY(QVariantList tabs READ tabs CONSTANT)
    Q_PROPERTY(CalendarsTabViewModel *calendars READ calendars CONSTANT)
    Q_PROPERTY(IntegrationsTabViewModel *integrations READ integrations CONSTANT)
    Q_PROPERTY(AppearanceTabViewModel *appearance READ appearance CONSTANT)
public:
    enum Tab { CalendarsTab, IntegrationsTab, AppearanceTab };
    Q_ENUM(Tab)

    SettingsViewModel(CalendarStore &store, AppSettings &settings, DesktopLauncher &launcher, int selectedTab = 0,
        QObject *parent = nullptr);

    void setZohoAuth(ZohoAuthManager *auth);

    int selectedTab() const { return m_selectedTab; }
    // 0, 1 or 2; anything else is ignored. Selecting a tab reads its lists again.
    void setSelectedTab(int tab);
    // {label, icon} of each tab, left to right.
    QVariantList tabs() const;

    CalendarsTabViewModel *calendars() { return &m_calendars; }
    IntegrationsTabViewModel *integrations() { return &m_integrations; }
    AppearanceTabViewModel *appearance() { return &m_appearance; }

signals:
    void selectedTabChanged();

private:
    CalendarsTabViewModel m_calendars;
    IntegrationsTabViewModel m_integrations;
    AppearanceTabViewModel m_appearance;
    int m_selectedTab = 0;
};
