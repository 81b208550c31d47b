#pragma once

#include "zoho/QtKeychainStore.h"
#include "zoho/ZohoAuthManager.h"
#include "zoho/ZohoCalendarManager.h"
#include "zoho/ZohoKeychain.h"

#include <QNetworkAccessManager>

class AppSettings;

// The Zoho connection's parts, wired together once for the process.
class ZohoServices
{
public:
    ZohoServices(AppSettings &settings, const Clock &clock);

    // The process's own, made on first use (after the application object)
    // and never destroyed, like the settings.
    static ZohoServices &shared();

    ZohoAuthManager &auth() { return m_auth; }
    ZohoCalendarManager &calendars() { return m_calendars; }

private:
    QtKeychainStore m_secrets;
    ZohoKeychain m_keychain;
    QNetworkAccessManager m_network;
    ZohoAuthManager m_auth;
    ZohoCalendarManager m_calendars;
};
