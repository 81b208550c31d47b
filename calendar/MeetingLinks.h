// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"

#include <QSet>
#include <QString>
#include <QUrl>

#include <optional>

class CalendarStore;

// Finds the link that joins an event's online meeting.
//
// Invitations put it in different places: some in the URL property, most in
// LOCATION, many only in the DESCRIPTION among help and dial-in links. The
// URL property wins when it is a meeting link, then LOCATION (a meeting
// service's link, or any https link there, since a location that is a link
// is where the meeting is), then the first meeting service's link in the
// description; any other site's link in a description is not the meeting.
// Only http and https links are ever returned.
namespace MeetingLinks {

// The meeting link of an event, or an empty URL when it has none.
QUrl find(const EventDetails &details);

// Whether `url` joins a meeting of a known service (Zoom, Google Meet,
// Microsoft Teams, Webex, Jitsi Meet, Zoho Meeting, GoTo Meeting, Whereby).
bool isMeetingServiceLink(const QUrl &url);

// The http and https links in free text, in order, cut where text around a
// link usually ends it (spaces, angle brackets, quotes, a closing bracket or
// full stop after it). Redirect wrappers of mail and calendar services are
// unwrapped to the link they lead to.
QList<QUrl> linksIn(const QString &text);

// How long before its start a meeting is offered to join.
constexpr int JoinLeadMinutes = 15;

struct MeetingToJoin
{
    CalendarEvent event;
    QUrl link;
};

// The meeting to join at `now`, of the calendars `calendarIds` (empty: all,
// as the lists read it): among the timed events under way or starting within
// JoinLeadMinutes that have a meeting link, the one whose start is nearest
// to now, so that at 10:58 the meeting at 11:00 wins over the one that began
// at 10:00; on a tie, the one under way.
std::optional<MeetingToJoin> meetingToJoin(
    const CalendarStore &store, const QSet<QString> &calendarIds, const QDateTime &now);

} // namespace MeetingLinks
