#include "app/StoreSetup.h"

#include "calendar/LocalFolderProvider.h"
#include "settings/AppSettings.h"

#include <QStandardPaths>

QString defaultCalendarRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/brivane/calendars");
}

std::unique_ptr<CalendarStore> createCalendarStore(const AppSettings &settings, const Clock &clock)
{
    auto store = std::make_unique<CalendarStore>();
    auto *local = new LocalFolderProvider(defaultCalendarRoot(), settings.calendarFolders(), clock);
    store->addProvider(local);
    local->start();
    return store;
}
