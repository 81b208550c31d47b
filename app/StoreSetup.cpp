#include "app/StoreSetup.h"

#include "app/InstanceClient.h"
#include "calendar/LocalFolderProvider.h"
#include "calendar/PersistentIndex.h"
#include "settings/AppSettings.h"

namespace {
DesktopProviderMaker desktopProviderMaker = nullptr;
}

void setDesktopProviderMaker(DesktopProviderMaker maker)
{
    desktopProviderMaker = maker;
}

QString defaultCalendarRoot()
{
    return InstanceClient::calendarRoot();
}

std::unique_ptr<CalendarStore> createCalendarStore(const AppSettings &settings, const Clock &clock, StoreUse use)
{
    auto store = std::make_unique<CalendarStore>();
    // First, so that the desktop's default calendar is the default for new
    // events wherever the desktop has calendars.
    CalendarProvider *desktop = desktopProviderMaker ? desktopProviderMaker(clock).release() : nullptr;
    if (desktop)
        store->addProvider(desktop);
    auto *local = new LocalFolderProvider(defaultCalendarRoot(), settings.calendarFolders(), clock);
    local->setIndexPath(PersistentIndex::defaultPath());
    // Watching a large folder costs milliseconds a command has no use for.
    local->setWatching(use == StoreUse::FollowsChanges);
    store->addProvider(local);
    if (desktop) {
        // brivane's own folder is made only when no calendar takes new
        // events: not beside a desktop that has its own default calendar.
        local->setCreatesDefaultRoot(false);
        auto makeOwnWhenNeeded = [store = store.get(), local] {
            if (store->isLoaded() && !store->defaultCalendarForNewEvents())
                local->createDefaultRoot();
        };
        QObject::connect(store.get(), &CalendarStore::loaded, local, makeOwnWhenNeeded);
        QObject::connect(store.get(), &CalendarStore::changed, local, makeOwnWhenNeeded);
    }
    if (desktop)
        desktop->start();
    local->start();
    return store;
}
