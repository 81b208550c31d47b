#pragma once

#include <QDate>
#include <QUrl>

// What the popover asks of the desktop: links opened by the user's browser
// and the user's calendar application, at a day where it can show one.
class DesktopLauncher
{
public:
    virtual ~DesktopLauncher() = default;
    virtual void openUrl(const QUrl &url) = 0;
    // An invalid `day` opens the application as it starts.
    virtual void openCalendarApp(const QDate &day) = 0;
};
