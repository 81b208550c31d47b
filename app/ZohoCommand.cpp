#include "app/ZohoCommand.h"

#include "app/ZohoServices.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>

namespace {

const char *const Usage = "usage: brivane zoho connect CODE\n"
                          "       brivane zoho disconnect\n"
                          "       brivane zoho status\n"
                          "       brivane zoho sync\n";

void waitForSync(ZohoCalendarManager &calendars)
{
    QEventLoop loop;
    calendars.sync([&loop] { loop.quit(); });
    loop.exec();
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
    ZohoServices zoho(AppSettings::shared(), clock);
    ZohoAuthManager &auth = zoho.auth();

    if (connecting) {
        if (arguments[2].trimmed().isEmpty()) {
            err << "brivane zoho connect: the code is empty\n" << Usage;
            return 2;
        }
        QEventLoop loop;
        QObject::connect(&auth, &ZohoAuthManager::isExchangingChanged, &loop, [&] {
            if (!auth.isExchanging())
                loop.quit();
        });
        auth.exchangeCode(arguments[2]);
        loop.exec();
        if (!auth.error().isEmpty()) {
            err << auth.error() << '\n';
            return 1;
        }
        out << "Connected to Zoho.\n";
        printStoreWarning(auth, out);
        return 0;
    }
    if (action == QLatin1String("disconnect")) {
        auth.disconnect();
        out << "Disconnected from Zoho.\n";
        return 0;
    }

    if (!auth.isConnected()) {
        out << "Zoho: not connected\n";
        printStoreWarning(auth, out);
        return action == QLatin1String("sync") ? 1 : 0;
    }
    ZohoCalendarManager &calendars = zoho.calendars();
    waitForSync(calendars);
    if (action == QLatin1String("sync")) {
        if (!calendars.lastError().isEmpty()) {
            err << calendars.lastError() << '\n';
            return 1;
        }
        out << "Synced " << calendars.calendars().size() << " calendars: " << calendars.todayEvents().size()
            << " events today, " << calendars.upcomingEvents().size() << " in the coming week.\n";
        return 0;
    }
    out << "Zoho: connected\n";
    printStoreWarning(auth, out);
    const QSet<QString> hidden = AppSettings::shared().hiddenZohoCalendarIDs();
    for (const ZohoCalendar &calendar : calendars.calendars()) {
        out << "  " << calendar.name << (hidden.contains(calendar.id) ? "  (hidden)" : "")
            << (calendar.isDefault ? "  (default)" : "") << "  [" << calendar.id << "]\n";
    }
    out << "Last error: " << (calendars.lastError().isEmpty() ? QStringLiteral("none") : calendars.lastError()) << '\n';
    return 0;
}
