// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/StatusItem.h"
#include "calendar/CalendarStore.h"
#include "calendar/Clock.h"
#include "calendar/DesktopLauncher.h"
#include "calendar/StatusTitle.h"

#include <QMenu>
#include <QPointer>
#include <QQmlEngine>
#include <QTimer>

#include <memory>
#include <optional>

class AppSettings;
class PopoverWindow;
class PopoverViewModel;
class OnboardingViewModel;
class QMenu;
class QQuickView;
class SettingsViewModel;
class ZohoAuthManager;
class ZohoCalendarManager;

// Owns everything the running program is made of: the one calendar store,
// the status item, the popover, the settings and first-run windows and the
// title timer, and routes clicks between them.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    static constexpr int TitleIntervalMs = 30000;
    static constexpr int OnboardingDelayMs = 300;
    static constexpr QSize SettingsSize {420, 480};
    static constexpr QSize OnboardingSize {480, 540};

    // Without a launcher, links and the calendar application go to the
    // desktop's handlers (XdgDesktopLauncher).
    AppDelegate(AppSettings &settings, const Clock &clock, std::unique_ptr<CalendarStore> store,
        std::unique_ptr<StatusItem> statusItem, std::unique_ptr<DesktopLauncher> launcher = nullptr,
        QObject *parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    void checkOnboarding();
    void showOnboarding();
    void requestCalendarAccess();
    void setupPopoverContent();
    void refitPopoverText();
    void openSettings();
    void eventStoreChanged();
    void handleClick(StatusItem::Click click, const QPoint &globalPosition);
    // `brivane --toggle` from another process: only the pointer is known.
    void handleToggleCommand(const QPoint &pointer);
    void togglePopover(const QPoint &clickPoint = {});
    void showContextMenu(const QPoint &globalPosition);
    // The right-click menu, made anew each time it is asked for.
    QMenu *buildContextMenu();
    void updateStatusTitle();
    // The popover with the detail of `event` (a reminder's "Open"); a form
    // being filled in is left as it is.
    void showEventDetail(const CalendarEvent &event);

    // Zoho's calendars join the store (so the popover's lists, the form's
    // targets and the settings) once the application has its Zoho manager;
    // given once.
    void setZohoCalendarManager(ZohoCalendarManager *zoho);
    // The settings window connects and disconnects Zoho through it.
    void setZohoAuthManager(ZohoAuthManager *auth);

    CalendarStore &eventStore() { return *m_eventStore; }
    StatusItem &statusItem() { return *m_statusItem; }
    PopoverWindow *popover() const { return m_popover.get(); }
    PopoverViewModel *popoverViewModel() const { return m_popoverViewModel; }
    QQuickView *settingsWindow() const { return m_settingsWindow.get(); }
    SettingsViewModel *settingsViewModel() const;
    QQuickView *onboardingWindow() const { return m_onboardingWindow.get(); }
    QMenu *contextMenu() const { return m_menu; }
    DesktopLauncher &launcher() { return *m_launcher; }

signals:
    // "Quit brivane" was chosen.
    void quitRequested();
    void popoverFirstFrame(qint64 milliseconds);
    // The status title was worked out anew (on the timer, or after the
    // calendars changed), whether or not it reads differently.
    void statusTitleUpdated();
    void popoverSheetFirstFrame(qint64 milliseconds);

private:
    void showZohoCacheState();
    std::unique_ptr<QQuickView> makeWindow(
        const QString &qmlFile, const QVariantMap &initialProperties, const QSize &size);
    void finishOnboarding();
    // Today's day in the user's zone, for the icon.
    int dayOfMonth() const;

    AppSettings &m_settings;
    const Clock &m_clock;
    std::unique_ptr<CalendarStore> m_eventStore;
    std::unique_ptr<StatusItem> m_statusItem;
    QQmlEngine m_engine;
    std::unique_ptr<PopoverWindow> m_popover;
    // Where the status item was last clicked, for a toggle without a click.
    std::optional<QPoint> m_lastItemClick;
    PopoverViewModel *m_popoverViewModel = nullptr;
    bool m_popoverTextChanged = false;
    std::unique_ptr<DesktopLauncher> m_launcher;
    QPointer<ZohoCalendarManager> m_zoho;
    QPointer<ZohoAuthManager> m_zohoAuth;
    QTimer m_timer;
    std::unique_ptr<QQuickView> m_settingsWindow;
    std::unique_ptr<QQuickView> m_onboardingWindow;
    QPointer<QMenu> m_menu;
};
