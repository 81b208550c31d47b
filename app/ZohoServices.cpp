#include "app/ZohoServices.h"

#include "settings/AppSettings.h"

ZohoServices::ZohoServices(AppSettings &settings, const Clock &clock)
    : m_secrets(ZohoKeychain::serviceName())
    , m_keychain(m_secrets)
    , m_auth(m_keychain, m_network, clock, [&settings] { return settings.zohoAccountsUrl(); })
    , m_calendars(m_auth, settings, m_network, clock, [&settings] { return settings.zohoCalendarUrl(); })
{ }

ZohoServices &ZohoServices::shared()
{
    static SystemClock clock;
    static ZohoServices *services = new ZohoServices(AppSettings::shared(), clock);
    return *services;
}

ZohoAuthManager &ZohoAuthManager::shared()
{
    return ZohoServices::shared().auth();
}

ZohoCalendarManager &ZohoCalendarManager::shared()
{
    return ZohoServices::shared().calendars();
}
