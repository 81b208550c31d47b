// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StoreSetup.h"

#include "app/InstanceClient.h"
#include "calendar/DesktopCalendarConfigs.h"
#include "calendar/LocalFolderProvider.h"
#include "calendar/PersistentIndex.h"
#include "settings/AppSettings.h"

#include <QDir>

namespace {
DesktopProviderMaker desktopProviderMaker = nullptr;

// The folders that `calendarFolders` lists, each told by what it holds; or,
// where it is not set, those of khal's and vdirsyncer's configurations.
LocalFolderProvider *localProvider(const AppSettings &settings, const Clock &clock)
{
    const bool listed = settings.hasCalendarFolders();
    // vdirsyncer's configuration names its storages' accounts either way.
    const DesktopCalendarConfigs::Found configs = DesktopCalendarConfigs::readUsersConfigs(!listed);
    for (const QString &problem : configs.problems)
        qWarning().noquote() << "brivane: a calendar configuration is left unread:" << problem;
    QList<Vdir::Folder> folders;
    if (listed) {
        for (const QString &path : settings.calendarFolders())
            folders.append({Vdir::expandHome(path, QDir::homePath()), Vdir::Kind::Detect, {}, {}, false});
    } else {
        folders = configs.folders;
    }
    auto *local = new LocalFolderProvider(defaultCalendarRoot(), std::move(folders), clock);
    local->setAccountNames(configs.accountNames);
    return local;
}
} // namespace

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
    LocalFolderProvider *local = localProvider(settings, clock);
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
