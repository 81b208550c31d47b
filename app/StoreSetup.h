// SPDX-License-Identifier: GPL-3.0-or-later
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

// Makes the provider of the desktop's calendars. The programs built with
// one hand it over before making a store: its libraries are a cost that
// `brivane` spares a command where no desktop session could answer.
using DesktopProviderMaker = std::unique_ptr<CalendarProvider> (*)(const Clock &clock);
void setDesktopProviderMaker(DesktopProviderMaker maker);

// The store with the local folders and the desktop's calendars (where a
// maker was set), loading in the background.
std::unique_ptr<CalendarStore> createCalendarStore(
    const AppSettings &settings, const Clock &clock, StoreUse use = StoreUse::FollowsChanges);
