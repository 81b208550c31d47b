// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// GLib and EDS before Qt: Qt's keyword macros would clash with their member
// names. This header is for the desktop calendar provider's own files only.
#include <libecal/libecal.h>

#include "calendar/CalendarTypes.h"
#include "calendar/EdsRecords.h"

#include <QTimeZone>

namespace Eds {

// How TZIDs are found: libical's zones first, then the calendar's own
// VTIMEZONEs, which only a worker thread may ask the calendar service for
// (the provider's thread takes what the client has cached).
struct ZoneLookup
{
    ECalClient *client = nullptr;
    bool mayAskService = false;
};

// An ECalRecurResolveTimezoneCb over a ZoneLookup.
ICalTimezone *resolveZone(const gchar *tzid, gpointer zoneLookup, GCancellable *cancellable, GError **error);

// The libical zone for a Qt zone, or null (then floating times stay floating).
ICalTimezone *builtinZone(const QTimeZone &zone);

// The Qt zone for an IANA or Windows zone name, looked up once per name for
// every thread; invalid when unknown.
QTimeZone ianaZone(const QByteArray &name);

// A VEVENT as a record; null for anything else or an event without a start.
RecordPtr recordFromComponent(ICalComponent *component, const ZoneLookup &zones, const QTimeZone &userZone);

// The series' occurrences overlapping [fromMs, toMs), by start. Recurrences
// are expanded by EDS's own recurrence code; changed occurrences stand in for
// the ones they replace and cancelled ones drop out.
std::vector<Occurrence> expandSeries(
    const Series &series, qint64 fromMs, qint64 toMs, const ZoneLookup &zones, const QTimeZone &userZone);

EventDetails detailsOf(ICalComponent *component);

// Takes ownership of a GObject reference.
template<typename T> struct GObjectDeleter
{
    void operator()(T *object) const
    {
        if (object)
            g_object_unref(object);
    }
};
template<typename T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

} // namespace Eds
