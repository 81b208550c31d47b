// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/SettingsViewModel.h"

#include "settings/AutostartEntry.h"

#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QVariantMap>

AppearanceTabViewModel::AppearanceTabViewModel(AppSettings &settings, AutostartWriter writeAutostart, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_writeAutostart(writeAutostart ? std::move(writeAutostart) : [](bool enabled) {
        return AutostartEntry::apply(enabled, QCoreApplication::applicationFilePath());
    })
{
    connect(&m_settings, &AppSettings::dimWeekendsChanged, this, &AppearanceTabViewModel::dimWeekendsChanged);
    connect(&m_settings, &AppSettings::launchAtLoginChanged, this, &AppearanceTabViewModel::launchAtLoginChanged);
    connect(&m_settings, &AppSettings::showWeekNumbersChanged, this, &AppearanceTabViewModel::showWeekNumbersChanged);
    connect(&m_settings, &AppSettings::showRemindersChanged, this, &AppearanceTabViewModel::showRemindersChanged);
    connect(&m_settings, &AppSettings::defaultReminderMinutesChanged, this,
        &AppearanceTabViewModel::defaultReminderIndexChanged);
}

bool AppearanceTabViewModel::showReminders() const
{
    return m_settings.showReminders();
}

void AppearanceTabViewModel::setShowReminders(bool show)
{
    m_settings.setShowReminders(show);
}

QStringList AppearanceTabViewModel::defaultReminderChoices() const
{
    QStringList choices;
    for (const int minutes : DefaultReminderMinutes) {
        if (minutes == AppSettings::NoDefaultReminder)
            choices << tr("None");
        else if (minutes == 0)
            choices << tr("At start of event");
        else if (minutes == 1)
            choices << tr("1 minute before");
        else
            choices << tr("%1 minutes before").arg(minutes);
    }
    return choices;
}

int AppearanceTabViewModel::defaultReminderIndex() const
{
    const int current = m_settings.defaultReminderMinutes();
    int nearest = 0;
    for (int i = 0; i < int(std::size(DefaultReminderMinutes)); ++i) {
        if (qAbs(DefaultReminderMinutes[i] - current) < qAbs(DefaultReminderMinutes[nearest] - current))
            nearest = i;
    }
    return nearest;
}

void AppearanceTabViewModel::setDefaultReminderIndex(int index)
{
    if (index < 0 || index >= int(std::size(DefaultReminderMinutes)))
        return;
    m_settings.setDefaultReminderMinutes(DefaultReminderMinutes[index]);
}

bool AppearanceTabViewModel::showWeekNumbers() const
{
    return m_settings.showWeekNumbers();
}

void AppearanceTabViewModel::setShowWeekNumbers(bool show)
{
    m_settings.setShowWeekNumbers(show);
}

bool AppearanceTabViewModel::launchAtLogin() const
{
    return m_settings.launchAtLogin();
}

void AppearanceTabViewModel::setLaunchAtLogin(bool launch)
{
    const QString error = m_writeAutostart(launch);
    const QString shown = error.isEmpty()
        ? QString()
        : (launch ? tr("brivane cannot be set to open at login: %1") : tr("brivane still opens at login: %1"))
              .arg(error);
    if (shown != m_launchAtLoginError) {
        m_launchAtLoginError = shown;
        emit launchAtLoginErrorChanged();
    }
    if (error.isEmpty())
        m_settings.setLaunchAtLogin(launch);
    else
        emit launchAtLoginChanged(); // the switch goes back to what holds
}

bool AppearanceTabViewModel::dimWeekends() const
{
    return m_settings.dimWeekends();
}

void AppearanceTabViewModel::setDimWeekends(bool dim)
{
    m_settings.setDimWeekends(dim);
}

SettingsViewModel::SettingsViewModel(
    CalendarStore &store, AppSettings &settings, DesktopLauncher &launcher, int selectedTab, QObject *parent)
    : QObject(parent)
    , m_calendars(store, settings)
    , m_integrations(store, launcher)
    , m_appearance(settings)
{
    setSelectedTab(selectedTab);
}

void SettingsViewModel::setZohoAuth(ZohoAuthManager *auth)
{
    m_integrations.setZohoAuth(auth);
}

void SettingsViewModel::setSelectedTab(int tab)
{
    if (tab < CalendarsTab || tab > AppearanceTab)
        return;
    if (tab == CalendarsTab)
        m_calendars.refresh();
    else if (tab == IntegrationsTab)
        m_integrations.refresh();
    if (tab == m_selectedTab)
        return;
    m_selectedTab = tab;
    emit selectedTabChanged();
}

QVariantList SettingsViewModel::tabs() const
{
    const auto tab = [](const QString &label, const QString &icon) {
        return QVariantMap {{QStringLiteral("label"), label}, {QStringLiteral("icon"), icon}};
    };
    return {tab(tr("Calendars"), QStringLiteral("calendar")), tab(tr("Integrations"), QStringLiteral("link")),
        tab(tr("Appearance"), QStringLiteral("paintbrush"))};
}
