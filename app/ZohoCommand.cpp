// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ZohoCommand.h"

#include "app/CommandSupport.h"
#include "app/ZohoServices.h"
#include "settings/AppSettings.h"
#include "zoho/ZohoProvider.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

const char *const Usage = "usage: brivane zoho connect CODE\n"
                          "       brivane zoho disconnect\n"
                          "       brivane zoho status\n"
                          "       brivane zoho sync\n";

QString hiddenMark()
{
    return QStringLiteral("  (") + QCoreApplication::translate("ZohoCommand", "hidden") + QLatin1Char(')');
}

QString defaultMark()
{
    return QStringLiteral("  (") + QCoreApplication::translate("ZohoCommand", "default") + QLatin1Char(')');
}

void printStoreWarning(ZohoAuthManager &auth, QTextStream &out)
{
    if (!auth.tokensSurviveRestart())
        out << ZohoKeychain::notKeptMessage() << '\n';
}

} // namespace

int runZohoCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString action = arguments.value(1);
    const bool connecting = action == QLatin1String("connect");
    if (action.isEmpty() || arguments.size() != (connecting ? 3 : 2)
        || !QStringList {"connect", "disconnect", "status", "sync"}.contains(action)) {
        err << Usage;
        return 2;
    }
    SystemClock clock;
    ZohoServices zoho(AppSettings::shared(), clock, ZohoServices::Use::Command);
    ZohoAuthManager &auth = zoho.auth();

    if (connecting) {
        if (arguments[2].trimmed().isEmpty()) {
            err << "brivane zoho connect: " << QCoreApplication::translate("ZohoCommand", "the code is empty") << '\n'
                << Usage;
            return 2;
        }
        const bool finished = waitForCompletion(
            [&auth, &arguments](const std::function<void()> &complete) {
                QObject::connect(&auth, &ZohoAuthManager::isExchangingChanged, &auth, [&auth, complete] {
                    if (!auth.isExchanging())
                        complete();
                });
                auth.exchangeCode(arguments[2]);
                if (!auth.isExchanging())
                    complete();
            },
            ZohoServices::commandDeadlineMs());
        if (!finished || !auth.error().isEmpty()) {
            err << (finished ? auth.error() : ZohoServices::deadlineMessage()) << '\n';
            return 1;
        }
        ZohoServices::forgetRecordedSync();
        out << QCoreApplication::translate("ZohoCommand", "Connected to Zoho.") << '\n';
        printStoreWarning(auth, out);
        return 0;
    }
    if (action == QLatin1String("disconnect")) {
        auth.disconnect();
        ZohoServices::forgetRecordedSync();
        out << QCoreApplication::translate("ZohoCommand", "Disconnected from Zoho.") << '\n';
        return 0;
    }

    if (!auth.isConnected()) {
        out << QCoreApplication::translate("ZohoCommand", "Zoho: not connected") << '\n';
        printStoreWarning(auth, out);
        return action == QLatin1String("sync") ? 1 : 0;
    }
    ZohoCalendarManager &calendars = zoho.calendars();
    if (action == QLatin1String("sync")) {
        const QString failure = zoho.syncAndWait();
        if (!calendars.lastWarning().isEmpty())
            err << QCoreApplication::translate("ZohoCommand", "Warning: %1").arg(calendars.lastWarning()) << '\n';
        if (!failure.isEmpty()) {
            err << failure << '\n';
            return 1;
        }
        out << QCoreApplication::translate(
            "ZohoCommand", "Synced %1 calendars: %2 events today, %3 in the coming week.")
                   .arg(calendars.calendars().size())
                   .arg(calendars.todayEvents().size())
                   .arg(calendars.upcomingEvents().size())
            << '\n';
        return 0;
    }

    // The status reads the calendar list, never the events: the last sync's
    // outcome comes from its record.
    std::optional<ZohoError> failure;
    const bool finished = waitForCompletion(
        [&calendars, &failure](const std::function<void()> &complete) {
            calendars.fetchCalendars([&failure, complete](const std::optional<ZohoError> &error) {
                failure = error;
                complete();
            });
        },
        ZohoServices::commandDeadlineMs());
    const QString error = !finished ? ZohoServices::deadlineMessage() : failure ? failure->description() : QString();
    out << (auth.isConnected() ? QCoreApplication::translate("ZohoCommand", "Zoho: connected")
                               : QCoreApplication::translate("ZohoCommand", "Zoho: not connected"))
        << '\n';
    printStoreWarning(auth, out);
    const QSet<QString> hidden = AppSettings::shared().hiddenCalendarIds();
    for (const ZohoCalendar &calendar : calendars.calendars()) {
        out << "  " << calendar.name
            << (hidden.contains(ZohoProvider::calendarIdOf(calendar.id)) ? hiddenMark() : QString())
            << (calendar.isDefault ? defaultMark() : QString()) << "  [" << calendar.id << "]\n";
    }
    // Without the network the last sync's lists are what brivane shows.
    if (calendars.isFromCache()) {
        out << QCoreApplication::translate("ZohoCommand", "Showing the last sync's calendars and events, from %1")
                   .arg(calendars.lastSynced().toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")))
            << '\n';
    }
    const std::optional<ZohoServices::SyncRecord> lastSync = ZohoServices::lastRecordedSync();
    if (lastSync) {
        out << QCoreApplication::translate("ZohoCommand", "Last sync: %1")
                   .arg(lastSync->finished.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")))
            << '\n';
        if (!lastSync->warning.isEmpty())
            out << QCoreApplication::translate("ZohoCommand", "Warning: %1").arg(lastSync->warning) << '\n';
    }
    const QString shownError = !error.isEmpty() ? error : lastSync ? lastSync->error : QString();
    out << QCoreApplication::translate("ZohoCommand", "Last error: %1")
               .arg(shownError.isEmpty() ? QCoreApplication::translate("ZohoCommand", "none") : shownError)
        << '\n';
    return error.isEmpty() ? 0 : 1;
}
