#include "settings/ui/SettingsViewModel.h"

#include "settings/AppSettings.h"

#include <QVariantMap>

AppearanceTabViewModel::AppearanceTabViewModel(AppSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{
    connect(&m_settings, &AppSettings::dimWeekendsChanged, this, &AppearanceTabViewModel::dimWeekendsChanged);
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

void SettingsViewModel::setZoho(ZohoCalendarManager *calendars, ZohoAuthManager *auth)
{
    m_calendars.setZohoManager(calendars);
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
