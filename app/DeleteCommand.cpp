// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DeleteCommand.h"

#include "app/CommandSupport.h"
#include "app/StoreSetup.h"
#include "calendar/EventRemoval.h"
#include "settings/AppSettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {

const char *const Usage = "usage: brivane delete ID\n"
                          "       (ID as `brivane agenda --json` shows it or `brivane add` printed it)\n";

// Zoho's ids, as `brivane agenda --json` shows them (see ZohoProvider).
const QString ZohoIdPrefix = QStringLiteral("zoho_");

} // namespace

int runDeleteCommand(const QStringList &arguments, QTextStream &, QTextStream &err, CalendarStore &store)
{
    QCommandLineParser parser;
    if (!parser.parse(arguments) || parser.positionalArguments().size() != 1
        || parser.positionalArguments().constFirst().isEmpty()) {
        const QString reason = !parser.errorText().isEmpty() ? parser.errorText()
            : parser.positionalArguments().size() > 1
            ? QCoreApplication::translate("DeleteCommand", "one event at a time")
            : QCoreApplication::translate("DeleteCommand", "the id of the event is missing");
        err << "brivane delete: " << reason << '\n' << Usage;
        return 2;
    }
    const QString id = parser.positionalArguments().constFirst();
    const std::optional<CalendarEvent> event = store.eventById(id);
    if (!event) {
        // Zoho's events are never deleted here, whether or not Zoho still has this one.
        if (id.startsWith(ZohoIdPrefix)) {
            err << "brivane delete: " << EventRemoval::zohoRefusal() << '\n';
            return 1;
        }
        err << "brivane delete: " << QCoreApplication::translate("DeleteCommand", "no event has the id \"%1\"").arg(id)
            << '\n';
        return 2;
    }
    const StoreResult result = EventRemoval::remove(AnyCalendarEvent::fromStore(*event), store);
    if (!result.ok) {
        err << "brivane delete: " << result.error << '\n';
        return 1;
    }
    return 0;
}

int runDeleteCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    SystemClock clock;
    std::unique_ptr<CalendarStore> store = createCalendarStore(AppSettings::shared(), clock, StoreUse::AnswersOnce);
    store->waitUntilLoaded();
    const int status = runDeleteCommand(arguments, out, err, *store);
    store->finishBackgroundWork();
    return status;
}
