// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QUrl>

// What the program asks of the desktop: links opened by the user's browser,
// the user's calendar application (at a day where it can show one), and the
// desktop's settings for online accounts (Google, Microsoft, …).
class DesktopLauncher
{
public:
    virtual ~DesktopLauncher() = default;
    virtual void openUrl(const QUrl &url) = 0;
    // An invalid `day` opens the application as it starts. False when there
    // is no calendar application or it did not start.
    virtual bool openCalendarApp(const QDate &day) = 0;

    // Whether there is a calendar application to start.
    virtual bool hasCalendarApp() const { return true; }
    // Whether this desktop has settings for online accounts to open.
    virtual bool hasOnlineAccountsSettings() const { return false; }
    // Opens them; false when there are none or they did not start.
    virtual bool openOnlineAccountsSettings() { return false; }
};
