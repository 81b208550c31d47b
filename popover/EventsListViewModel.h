// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/AnyCalendarEvent.h"
#include "calendar/Clock.h"
#include "popover/EventRowsModel.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

#include <limits>
#include <optional>

class AppSettings;
class CalendarEventManager;
class DesktopLauncher;

// The popover's lower half: the first section (today, or the day selected in
// the grid), the upcoming section when no day is selected, their open or
// closed state, the rows and the 30-second clock that moves their labels.
class EventsListViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the popover's view model")
    Q_PROPERTY(QString firstSectionTitle READ firstSectionTitle NOTIFY sectionsChanged)
    Q_PROPERTY(EventRowsModel *firstRows READ firstRows CONSTANT)
    Q_PROPERTY(bool firstExpanded READ firstExpanded NOTIFY sectionsChanged)
    Q_PROPERTY(QString firstCountText READ firstCountText NOTIFY sectionsChanged)
    Q_PROPERTY(int firstListHeight READ firstListHeight NOTIFY shownRowsChanged)
    Q_PROPERTY(bool firstScrolls READ firstScrolls NOTIFY shownRowsChanged)
    Q_PROPERTY(bool showNoEvents READ showNoEvents NOTIFY sectionsChanged)
    Q_PROPERTY(bool showUpcoming READ showUpcoming NOTIFY sectionsChanged)
    Q_PROPERTY(EventRowsModel *upcomingRows READ upcomingRows CONSTANT)
    Q_PROPERTY(bool upcomingExpanded READ upcomingExpanded NOTIFY sectionsChanged)
    Q_PROPERTY(QString upcomingCountText READ upcomingCountText NOTIFY sectionsChanged)
    Q_PROPERTY(int upcomingListHeight READ upcomingListHeight NOTIFY shownRowsChanged)
    Q_PROPERTY(bool upcomingScrolls READ upcomingScrolls NOTIFY shownRowsChanged)
    // The room the rows of both sections share, as the view measures it.
    Q_PROPERTY(int rowSpace READ rowSpace WRITE setRowSpace NOTIFY rowSpaceChanged)
    Q_PROPERTY(QDateTime currentTime READ currentTime NOTIFY currentTimeChanged)
    // Why "Open Calendar" opened nothing; empty when it did, or before it is used.
    Q_PROPERTY(QString openCalendarMessage READ openCalendarMessage NOTIFY openCalendarMessageChanged)
public:
    static constexpr int ClockIntervalMs = 30000;
    // A list as EventRowsList draws it: rows of RowHeight, RowSpacing apart,
    // ListEndMargin below the last one.
    static constexpr int RowHeight = 42;
    static constexpr int RowSpacing = 2;
    static constexpr int ListEndMargin = 4;
    // Rows a section shows at most before it scrolls.
    static constexpr int MaxShownRows = 5;

    // The rows each open section shows, whole ones only: as many as the
    // room holds, shared out one by one (today's first), at least one each
    // and at most MaxShownRows.
    struct ShownRows
    {
        int first = 0;
        int upcoming = 0;
    };
    static ShownRows shownRows(int firstRows, int upcomingRows, int rowSpace);
    // The height of a list showing `rows` whole rows.
    static int listHeightFor(int rows);

    EventsListViewModel(CalendarEventManager &events, AppSettings &settings, const Clock &clock,
        DesktopLauncher &launcher, QObject *parent = nullptr);

    void setSelectedDate(const std::optional<QDate> &day);
    // Zoho's rows are the last sync's, kept from before, since `synced`;
    // an invalid time: Zoho's rows are current.
    void setZohoCachedSince(const QDateTime &synced);
    // The note of Zoho's mark: "Zoho Calendar", with the last sync's time
    // while its rows are the last sync's.
    static QString zohoNote(const QDateTime &cachedSince, const QTimeZone &zone);

    QString firstSectionTitle() const;
    EventRowsModel *firstRows() { return &m_firstRows; }
    bool firstExpanded() const;
    QString firstCountText() const { return countText(m_firstRows, firstExpanded()); }
    int firstListHeight() const { return listHeightFor(shownRows().first); }
    bool firstScrolls() const { return firstExpanded() && m_firstRows.rowCount() > shownRows().first; }
    bool showNoEvents() const { return firstExpanded() && m_firstRows.rowCount() == 0; }
    bool showUpcoming() const { return !m_selectedDay && m_upcomingRows.rowCount() > 0; }
    EventRowsModel *upcomingRows() { return &m_upcomingRows; }
    bool upcomingExpanded() const;
    QString upcomingCountText() const { return countText(m_upcomingRows, upcomingExpanded()); }
    int upcomingListHeight() const { return listHeightFor(shownRows().upcoming); }
    bool upcomingScrolls() const
    {
        return showUpcoming() && upcomingExpanded() && m_upcomingRows.rowCount() > shownRows().upcoming;
    }
    int rowSpace() const { return m_rowSpace; }
    void setRowSpace(int pixels);
    QDateTime currentTime() const { return m_currentTime; }
    QString openCalendarMessage() const { return m_openCalendarMessage; }

    Q_INVOKABLE void toggleFirstSection();
    Q_INVOKABLE void toggleUpcomingSection();
    Q_INVOKABLE void requestNewEvent() { emit newEventRequested(); }
    Q_INVOKABLE void selectFirstRow(int row);
    Q_INVOKABLE void selectUpcomingRow(int row);
    // "Join" on a row: its meeting's link to the desktop.
    Q_INVOKABLE void joinFirstRow(int row);
    Q_INVOKABLE void joinUpcomingRow(int row);
    // "Open Calendar": the user's calendar application, or the message why not.
    Q_INVOKABLE void openCalendar();
    // The popover came on screen again: an old message goes.
    void clearOpenCalendarMessage() { setOpenCalendarMessage({}); }
    Q_INVOKABLE void quit() { emit quitRequested(); }

    // A tick of the 30-second clock (also when the popover comes on screen).
    Q_INVOKABLE void tick();
    // The managers' lists as they are now.
    void rebuild();

signals:
    void sectionsChanged();
    // The lists' heights and scroll bars: with the sections, and with the room.
    void shownRowsChanged();
    void rowSpaceChanged();
    void currentTimeChanged();
    void openCalendarMessageChanged();
    void newEventRequested();
    void eventSelected(const AnyCalendarEvent &event);
    void quitRequested();

private:
    static QString countText(const EventRowsModel &rows, bool expanded);
    // The rows shown now, by the sections' rows, open states and the room.
    ShownRows shownRows() const;
    void setOpenCalendarMessage(const QString &message);

    CalendarEventManager &m_events;
    AppSettings &m_settings;
    const Clock &m_clock;
    DesktopLauncher &m_launcher;
    std::optional<QDate> m_selectedDay;
    QDateTime m_currentTime;
    QString m_openCalendarMessage;
    int m_rowSpace = std::numeric_limits<int>::max(); // until the view measures it
    EventRowsModel m_firstRows;
    EventRowsModel m_upcomingRows;
    QTimer m_clockTimer;
};
