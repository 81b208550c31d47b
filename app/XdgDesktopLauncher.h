// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/DesktopLauncher.h"

#include <QStringList>

// Links through the desktop's URL handler (xdg-open); the calendar
// application is the desktop's handler of text/calendar (GNOME Calendar,
// Evolution, KOrganizer, …), started at the day where it takes one; online
// accounts are GNOME's or KDE's settings page for them.
class XdgDesktopLauncher final : public DesktopLauncher
{
public:
    void openUrl(const QUrl &url) override;
    bool openCalendarApp(const QDate &day) override;
    bool hasCalendarApp() const override;
    bool hasOnlineAccountsSettings() const override;
    bool openOnlineAccountsSettings() override;

    // The command of the online-accounts settings: the current desktop's
    // first (XDG_CURRENT_DESKTOP), among those whose program is installed.
    static QStringList onlineAccountsCommand(const QString &currentDesktop);

    // The desktop entry id ("org.gnome.Calendar.desktop") of the text/calendar
    // handler: the user's choice first, then the system's; empty when none.
    static QString calendarHandlerId();
    // The applications for `mimeType` in a mimeapps.list, defaults.list or
    // mimeinfo.cache text, defaults first.
    static QStringList handlersIn(const QString &listText, const QString &mimeType);
    // The Exec line of a desktop entry's text.
    static QString execOf(const QString &desktopEntryText);
    // The program and arguments to run for an Exec line without files, at
    // `day` for applications known to take one.
    static QStringList commandFor(const QString &exec, const QDate &day);
};
