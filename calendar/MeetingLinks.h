#pragma once

#include "calendar/CalendarTypes.h"

#include <QString>
#include <QUrl>

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

} // namespace MeetingLinks
