// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

// The Zoho self-client's credentials (set at build time: cmake
// -DBRIVANE_ZOHO_CLIENT_ID=… -DBRIVANE_ZOHO_CLIENT_SECRET=…) and the servers'
// addresses, which depend on the account's data centre.
namespace ZohoConfig {

// Defined for brivane_zoho alone; elsewhere clientId() tells the ID.
#ifdef BRIVANE_ZOHO_CLIENT_ID
inline constexpr const char *ClientId = BRIVANE_ZOHO_CLIENT_ID;
inline constexpr const char *ClientSecret = BRIVANE_ZOHO_CLIENT_SECRET;
#endif
inline constexpr const char *PlaceholderClientId = "YOUR_CLIENT_ID";

inline constexpr const char *DefaultAccountsUrl = "https://accounts.zoho.com";
inline constexpr const char *DefaultCalendarUrl = "https://calendar.zoho.com";

QString clientId();

// Tokens travel only over https; plain http is allowed to this machine alone
// (a test server). Returns the reason when `url` is refused, else empty.
QString refusalReason(const QUrl &url);

// `base` with `path` appended to whatever path it has.
QUrl endpoint(const QUrl &base, const QString &path);

} // namespace ZohoConfig
