#pragma once

#include "calendar/CalendarEventManager.h"
#include "popover/EventRowsModel.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

class AppSettings;

// What the popover shows, decided here; MenuBarPopoverView only draws it.
// It owns the popover's CalendarEventManager.
class PopoverViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the application")
    Q_PROPERTY(EventRowsModel *todayRows READ todayRows CONSTANT)
    Q_PROPERTY(EventRowsModel *upcomingRows READ upcomingRows CONSTANT)
public:
    PopoverViewModel(CalendarStore &store, AppSettings &settings, const Clock &clock, QObject *parent = nullptr);

    CalendarEventManager &eventManager() { return m_eventManager; }
    EventRowsModel *todayRows() { return &m_todayRows; }
    EventRowsModel *upcomingRows() { return &m_upcomingRows; }

    // The popover came on screen: show fresh events.
    Q_INVOKABLE void appeared();

private:
    const Clock &m_clock;
    CalendarEventManager m_eventManager;
    EventRowsModel m_todayRows;
    EventRowsModel m_upcomingRows;
};
