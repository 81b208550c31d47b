// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// How the desktop's accounts (Evolution Data Server collections and their
// calendars) are named and coloured in this program. Plain Qt, so that it
// holds whether or not the program is built with EDS.
namespace EdsAccounts {

// The online service behind a collection's backend ("google" gives "Google",
// "ews" gives "Microsoft Exchange"); empty for a backend that names none.
// `isOnlineAccount` tells a collection of the desktop's online-accounts
// settings, whose "webdav" backend stands for Nextcloud.
QString serviceName(const QString &backendName, bool isOnlineAccount = false);

// The kind of the service, as CalendarSource::service carries it: the
// backend's name in lower case ("google", "ews", "microsoft365"), "nextcloud"
// or "caldav" for "webdav"; empty for a backend that names no service.
QString serviceId(const QString &backendName, bool isOnlineAccount = false);

// The title of an account: its display name, with the service's name put in
// front where the display name does not carry it ("Google
// (someone@example.com)"), so that the Integrations tab recognises it.
QString sourceTitle(const QString &displayName, const QString &backendName, bool isOnlineAccount = false);

// "#RRGGBB" from EDS's colour text ("#becedd", "#BECEDDFF", "rgb(...)" or a
// colour name); empty when the text is no colour.
QString normalizedColor(const QString &text);

} // namespace EdsAccounts
