#pragma once

#include "calendar/CalendarStore.h"
#include "calendar/Clock.h"

#include <memory>

class AppSettings;

// Where brivane keeps its own calendars: $XDG_DATA_HOME/brivane/calendars.
QString defaultCalendarRoot();

// Whether the store follows changes to the calendars after its load, or
// only answers once (a command that then exits).
enum class StoreUse : bool { FollowsChanges, AnswersOnce };

// The store with every provider this machine offers, loading in the
// background.
std::unique_ptr<CalendarStore> createCalendarStore(
    const AppSettings &settings, const Clock &clock, StoreUse use = StoreUse::FollowsChanges);
