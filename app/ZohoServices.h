// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "zoho/QtKeychainStore.h"
#include "zoho/ZohoAuthManager.h"
#include "zoho/ZohoCalendarManager.h"
#include "zoho/ZohoKeychain.h"

#include <QNetworkAccessManager>

class AppSettings;
class CalendarStore;

// The Zoho connection's parts, wired together once for the process.
class ZohoServices
{
public:
    enum class Use {
        Application, // syncs at start, on connecting and every five minutes
        Command, // syncs only when asked
    };

    // `clock` is the command's (fixed by `--at`, perhaps) and places the
    // events; the tokens' lifetimes always run on the system clock.
    ZohoServices(AppSettings &settings, const Clock &clock, Use use = Use::Application);

    // The process's own, made on first use (after the application object)
    // and never destroyed, like the settings.
    static ZohoServices &shared();

    // Zoho's calendars and events among the store's (the store owns the
    // provider; the provider holds nothing once these services are gone).
    void addProviderTo(CalendarStore &store);

    ZohoAuthManager &auth() { return m_auth; }
    ZohoCalendarManager &calendars() { return m_calendars; }

    // How long one request to Zoho may take: 60 seconds. A testing aid, the
    // environment variable BRIVANE_ZOHO_TIMEOUT_MS, shortens it, so that tests
    // of a server that never answers run quickly.
    static int requestTimeoutMs();
    // How long a command waits for Zoho in all.
    static int commandDeadlineMs();
    static QString deadlineMessage();

    // Syncs once and waits for the end, at most commandDeadlineMs(). Returns
    // what went wrong, empty when nothing did.
    QString syncAndWait();

    // How the last sync of any brivane process ended, for `brivane zoho status`.
    struct SyncRecord
    {
        QDateTime finished;
        QString error;
        QString warning;
    };
    static std::optional<SyncRecord> lastRecordedSync();
    static void forgetRecordedSync();

    // Whether the keyring may hold Zoho's tokens, from `zohoConnected` in
    // the settings. Settings from before that note have none: there a
    // recorded Zoho sync, or Zoho calendars hidden in the settings, tell that
    // Zoho was connected, and the keyring is asked once (its answer is then
    // noted); without either it is not asked.
    class SettingsNote final : public ZohoKeychain::Note
    {
    public:
        explicit SettingsNote(AppSettings &settings)
            : m_settings(settings)
        { }
        bool mayHoldTokens() const override;
        void setHoldsTokens(bool holds) override;

    private:
        AppSettings &m_settings;
    };

private:
    void recordSync(const QString &error, const QString &warning);

    SystemClock m_systemClock;
    QtKeychainStore m_secrets;
    SettingsNote m_note;
    ZohoKeychain m_keychain;
    QNetworkAccessManager m_network;
    ZohoAuthManager m_auth;
    ZohoCalendarManager m_calendars;
};
