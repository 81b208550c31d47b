// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/AnyCalendarEvent.h"
#include "calendar/CalendarEventManager.h"
#include "popover/ActiveSheet.h"
#include "popover/CalendarGridViewModel.h"
#include "popover/EventDetailViewModel.h"
#include "popover/EventsListViewModel.h"
#include "popover/NewEventViewModel.h"

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

#include <optional>

class AppSettings;
class DesktopLauncher;

// The popover's root: the displayed month and selected day (in the grid's
// view model), the open sheet, and the actions between grid, list and
// sheets. It owns the popover's CalendarEventManager and lives as long as
// the popover's content, so month and selection survive a reopening.
class PopoverViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the application")
    Q_PROPERTY(CalendarGridViewModel *grid READ grid CONSTANT)
    Q_PROPERTY(EventsListViewModel *eventsList READ eventsList CONSTANT)
    Q_PROPERTY(bool sheetShown READ sheetShown NOTIFY sheetChanged)
    // The kind of the open sheet, or of the last one while it leaves.
    Q_PROPERTY(SheetKind sheetKind READ sheetKind NOTIFY sheetChanged)
    Q_PROPERTY(NewEventViewModel *form READ form NOTIFY sheetChanged)
    Q_PROPERTY(EventDetailViewModel *detail READ detail NOTIFY sheetChanged)
public:
    enum SheetKind { NoSheet, NewEventSheet, EventDetailSheet };
    Q_ENUM(SheetKind)

    PopoverViewModel(CalendarStore &store, AppSettings &settings, const Clock &clock, DesktopLauncher &launcher,
        QObject *parent = nullptr);

    CalendarEventManager &eventManager() { return m_eventManager; }
    CalendarGridViewModel *grid() { return &m_grid; }
    EventsListViewModel *eventsList() { return &m_list; }
    bool sheetShown() const { return m_activeSheet.has_value(); }
    SheetKind sheetKind() const { return m_sheetKind; }
    const std::optional<ActiveSheet> &activeSheet() const { return m_activeSheet; }
    NewEventViewModel *form() const { return m_form; }
    EventDetailViewModel *detail() const { return m_detail; }

    // The popover came on screen: fresh events, today's date, the clock.
    Q_INVOKABLE void appeared();
    // Escape: the delete question, else the open sheet, else the popover closes.
    Q_INVOKABLE void escapePressed();

    // See EventsListViewModel::setZohoCachedSince.
    void setZohoCachedSince(const QDateTime &synced) { m_list.setZohoCachedSince(synced); }

    void openNewEvent(const QDateTime &initialDate);
    void openDetail(const AnyCalendarEvent &event);
    void closeSheet();

signals:
    void sheetChanged();
    void closeRequested();
    void quitRequested();

private:
    void setSheet(const std::optional<ActiveSheet> &sheet);

    CalendarStore &m_store;
    const Clock &m_clock;
    DesktopLauncher &m_launcher;
    CalendarEventManager m_eventManager;
    CalendarGridViewModel m_grid;
    EventsListViewModel m_list;
    std::optional<ActiveSheet> m_activeSheet;
    SheetKind m_sheetKind = NoSheet;
    // Kept after their sheet closed, so its content can animate away.
    QPointer<NewEventViewModel> m_form;
    QPointer<EventDetailViewModel> m_detail;
};
