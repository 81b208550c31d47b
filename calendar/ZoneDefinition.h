// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QTimeZone>

#include <optional>

struct icalcomponent_impl;

// The VTIMEZONE written with a new event: the zone's offsets from the
// event's start on, not the zone's whole history (which servers and other
// clients neither need nor want in every file). Changes that follow a
// yearly rule become one STANDARD or DAYLIGHT with an RRULE; the rule still
// in force at the end of what the zone data foresees has no UNTIL, so every
// later year reads right too. Other changes are listed one by one.
namespace ZoneDefinition {

// Years past the later of the range's ends up to which the zone's changes
// are read; a rule that holds that long is taken as the zone's rule for good.
constexpr int LookAheadYears = 40;
// ...and at least up to this year, past which zone data holds only rules.
constexpr int LookAheadUntilYear = 2110;

// A new VTIMEZONE named `tzid` with `zone`'s offsets from `from` on, through
// `until` when given (the end of a series): changes that start after it are
// left out, while a yearly rule in force by then is kept whole. Null for an
// invalid zone. The caller owns the component.
icalcomponent_impl *vtimezone(
    const QTimeZone &zone, const QByteArray &tzid, const QDateTime &from, const std::optional<QDateTime> &until = {});

} // namespace ZoneDefinition
