#include "app/StoreSetup.h"

#include "app/InstanceClient.h"
#include "calendar/LocalFolderProvider.h"
#include "calendar/PersistentIndex.h"
#include "settings/AppSettings.h"

#ifdef BRIVANE_HAVE_EDS
#include "calendar/EdsProvider.h"
#endif

QString defaultCalendarRoot()
{
    return InstanceClient::calendarRoot();
}

std::unique_ptr<CalendarStore> createCalendarStore(const AppSettings &settings, const Clock &clock, StoreUse use)
{
    auto store = std::make_unique<CalendarStore>();
#ifdef BRIVANE_HAVE_EDS
    // First, so that the desktop's default calendar is the default for new
    // events wherever the desktop has calendars.
    auto *desktop = new EdsProvider(clock);
    store->addProvider(desktop);
#endif
    auto *local = new LocalFolderProvider(defaultCalendarRoot(), settings.calendarFolders(), clock);
    local->setIndexPath(PersistentIndex::defaultPath());
    // Watching a large folder costs milliseconds a command has no use for.
    local->setWatching(use == StoreUse::FollowsChanges);
    store->addProvider(local);
#ifdef BRIVANE_HAVE_EDS
    desktop->start();
#endif
    local->start();
    return store;
}
