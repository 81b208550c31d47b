// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ZohoServices.h"

#include "app/CommandSupport.h"
#include "calendar/CalendarStore.h"
#include "settings/AppSettings.h"
#include "zoho/ZohoCache.h"
#include "zoho/ZohoConfig.h"
#include "zoho/ZohoProvider.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

// Kept with the cache: losing it loses nothing but the line in `zoho status`.
QString syncRecordPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/brivane/zoho-sync.ini");
}

} // namespace

ZohoServices::ZohoServices(AppSettings &settings, const Clock &clock, Use use)
    : m_secrets(ZohoKeychain::serviceName())
    , m_note(settings)
    , m_keychain(m_secrets, &m_note)
    , m_auth(m_keychain, m_network, m_systemClock, [&settings] { return settings.zohoAccountsUrl(); })
    , m_calendars(m_auth, m_network, clock, [&settings] { return settings.zohoCalendarUrl(); })
{
    if (use == Use::Command)
        m_calendars.stopAutomaticSync();
    // The last sync's lists, shown until the next sync (or all along without
    // the network). Only a sync of the real week is kept: not the one of a
    // command told another moment.
    const bool realWeek = dynamic_cast<const SystemClock *>(&clock) != nullptr;
    m_calendars.useCache(
        std::make_unique<ZohoCache>(ZohoCache::defaultPath(),
            ZohoCache::accountKey(settings.zohoAccountsUrl(), settings.zohoCalendarUrl(), ZohoConfig::clientId())),
        realWeek);
    m_auth.setRequestTimeout(requestTimeoutMs());
    m_calendars.setRequestTimeout(requestTimeoutMs());
    QObject::connect(&m_calendars, &ZohoCalendarManager::isSyncingChanged, &m_calendars, [this] {
        if (!m_calendars.isSyncing())
            recordSync(m_calendars.lastError(), m_calendars.lastWarning());
    });
}

bool ZohoServices::SettingsNote::mayHoldTokens() const
{
    if (const std::optional<bool> noted = m_settings.zohoConnected())
        return *noted;
    const QSet<QString> hidden = m_settings.hiddenCalendarIds();
    return lastRecordedSync().has_value() || std::any_of(hidden.begin(), hidden.end(), [](const QString &id) {
        return !ZohoProvider::zohoCalendarId(id).isEmpty();
    });
}

void ZohoServices::SettingsNote::setHoldsTokens(bool holds)
{
    m_settings.setZohoConnected(holds);
}

ZohoServices &ZohoServices::shared()
{
    static SystemClock clock;
    static ZohoServices *services = new ZohoServices(AppSettings::shared(), clock);
    return *services;
}

void ZohoServices::addProviderTo(CalendarStore &store)
{
    auto *provider = new ZohoProvider(m_calendars);
    store.addProvider(provider);
    provider->start();
}

int ZohoServices::requestTimeoutMs()
{
    bool isNumber = false;
    const int override = qEnvironmentVariableIntValue("BRIVANE_ZOHO_TIMEOUT_MS", &isNumber);
    return isNumber && override > 0 ? override : ZohoHttp::DefaultTimeoutMs;
}

int ZohoServices::commandDeadlineMs()
{
    // A token refresh and the calendar list, with room for the events.
    return 2 * requestTimeoutMs();
}

QString ZohoServices::deadlineMessage()
{
    return QCoreApplication::translate("ZohoServices", "Zoho did not finish in time (%1 s)")
        .arg(commandDeadlineMs() / 1000.0);
}

QString ZohoServices::syncAndWait()
{
    const bool finished = waitForCompletion(
        [this](const std::function<void()> &complete) { m_calendars.sync(complete); }, commandDeadlineMs());
    if (!finished) {
        recordSync(deadlineMessage(), {});
        return deadlineMessage();
    }
    return m_calendars.lastError();
}

void ZohoServices::recordSync(const QString &error, const QString &warning)
{
    QSettings record(syncRecordPath(), QSettings::IniFormat);
    record.setValue(QStringLiteral("finished"), m_systemClock.now().toUTC().toString(Qt::ISODate));
    record.setValue(QStringLiteral("error"), error);
    record.setValue(QStringLiteral("warning"), warning);
}

std::optional<ZohoServices::SyncRecord> ZohoServices::lastRecordedSync()
{
    const QSettings record(syncRecordPath(), QSettings::IniFormat);
    const QDateTime finished = QDateTime::fromString(record.value(QStringLiteral("finished")).toString(), Qt::ISODate);
    if (!finished.isValid())
        return std::nullopt;
    return SyncRecord {
        finished, record.value(QStringLiteral("error")).toString(), record.value(QStringLiteral("warning")).toString()};
}

void ZohoServices::forgetRecordedSync()
{
    QFile::remove(syncRecordPath());
}
