// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"
#include "calendar/Clock.h"

#include <QAbstractListModel>
#include <QColor>
#include <QDate>
#include <QHash>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <optional>

class AppSettings;
class CalendarEventManager;

// What marks a day that has events: how many visible calendars have one
// there, and the colour of the first of them.
struct EventDay
{
    int calendars = 0;
    QColor color;
    QString firstCalendarId;

    bool operator==(const EventDay &other) const = default;
};

// One place of the month grid: a day of the displayed month, or a blank.
struct DayCell
{
    QDate date; // invalid for a blank
    bool isToday = false;
    bool isSelected = false;
    bool isCurrentMonth = false;
    bool dimmed = false;
    EventDay events; // no calendars: no event that day

    bool operator==(const DayCell &other) const = default;
};

// The grid's cells with how each is drawn already decided.
class DayCellsModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the grid's view model")
public:
    enum Role {
        DateRole = Qt::UserRole + 1,
        DayTextRole,
        IsBlankRole,
        IsTodayRole,
        IsSelectedRole,
        TextStyleRole,
        BackgroundRole,
        AccessibleNameRole,
        EventDotRole,
        EventDotColorRole,
    };
    // The colour of the day number, by case.
    enum TextStyle {
        ClearText, // blank cell
        TodayText, // white on the accent circle
        DimmedCurrentMonthText, // primary at 35 %
        DimmedOtherMonthText, // secondary at 20 %
        CurrentMonthText, // primary
        OtherMonthText, // secondary at 50 %
    };
    Q_ENUM(TextStyle)
    enum Background {
        NoBackground,
        TodayCircle, // accent
        SelectedCircle, // accent at 20 %
    };
    Q_ENUM(Background)
    // The dot under the number of a day with events.
    enum EventDot {
        NoDot,
        CalendarDot, // the calendar's colour (EventDotColorRole)
        SeveralCalendarsDot, // the accent, for events of several calendars
        OnTodayDot, // white, on today's circle
    };
    Q_ENUM(EventDot)

    explicit DayCellsModel(QObject *parent = nullptr);

    void setCells(const QList<DayCell> &cells);
    const QList<DayCell> &cells() const { return m_cells; }

    static TextStyle textStyleOf(const DayCell &cell);
    static Background backgroundOf(const DayCell &cell);
    static EventDot eventDotOf(const DayCell &cell);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<DayCell> m_cells;
};

// The month grid: which month is shown, which day is selected, the cells,
// and what clicks and keys do to them. Weeks start on Monday everywhere.
class CalendarGridViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the popover's view model")
    Q_PROPERTY(QDate displayedMonth READ displayedMonth NOTIFY displayedMonthChanged)
    Q_PROPERTY(QString title READ title NOTIFY displayedMonthChanged)
    Q_PROPERTY(int rowCount READ rowCount NOTIFY displayedMonthChanged)
    Q_PROPERTY(bool hasSelection READ hasSelection NOTIFY selectedDateChanged)
    Q_PROPERTY(QDate selectedDate READ selectedDate NOTIFY selectedDateChanged)
    Q_PROPERTY(QString selectionDescription READ selectionDescription NOTIFY selectedDateChanged)
    Q_PROPERTY(bool dimWeekends READ dimWeekends NOTIFY dimWeekendsChanged)
    Q_PROPERTY(QVariantList weekdays READ weekdays NOTIFY dimWeekendsChanged)
    Q_PROPERTY(DayCellsModel *cells READ cells CONSTANT)
    Q_PROPERTY(bool showWeekNumbers READ showWeekNumbers NOTIFY showWeekNumbersChanged)
    Q_PROPERTY(QVariantList weekNumbers READ weekNumbers NOTIFY displayedMonthChanged)
public:
    CalendarGridViewModel(AppSettings &settings, const Clock &clock, QObject *parent = nullptr);

    // Any day of `month`, Monday-first: blanks before the first day, the
    // days, blanks to fill the last week.
    static QList<DayCell> cellsOf(
        const QDate &month, const std::optional<QDate> &selected, const QDate &today, bool dimWeekends);
    // The days from `first` up to `end` (exclusive) that `events` touch, as
    // the store's range queries count them: an event ending at midnight
    // leaves the next day free, an all-day event marks its dates.
    static QHash<QDate, EventDay> eventDaysOf(
        const QList<CalendarEvent> &events, const QDate &first, const QDate &end, const QTimeZone &zone);

    // The events that mark the days: the manager's store, without the
    // calendars it leaves out; read again whenever the manager's lists are
    // and when the month changes. Without one no day is marked.
    void setEventManager(const CalendarEventManager *manager);

    QDate displayedMonth() const { return m_displayedMonth; }
    QString title() const;
    int rowCount() const { return int(m_cells.rowCount() / 7); }
    bool hasSelection() const { return m_selected.has_value(); }
    QDate selectedDate() const { return m_selected.value_or(QDate()); }
    const std::optional<QDate> &selection() const { return m_selected; }
    QString selectionDescription() const;
    bool dimWeekends() const;
    // {symbol, name, dimmed} per column, Monday first.
    QVariantList weekdays() const;
    bool showWeekNumbers() const;
    // The ISO week number of each row of `month`'s grid (weeks from Monday:
    // the first row's week may belong to the year before, the last row's to
    // the next).
    static QList<int> weekNumbersOf(const QDate &month);
    // {number, name} per row of the displayed month.
    QVariantList weekNumbers() const;
    DayCellsModel *cells() { return &m_cells; }

    Q_INVOKABLE void showPreviousMonth() { changeMonth(-1); }
    Q_INVOKABLE void showNextMonth() { changeMonth(1); }
    // Page Up and Page Down: the month, not the selection.
    Q_INVOKABLE void changeMonth(int months);
    // A click selects the day, or clears the selection when it is that day.
    Q_INVOKABLE void clickDay(int index);
    // A double click selects the day and asks for a new event on it; it
    // never clears the selection.
    Q_INVOKABLE void doubleClickDay(int index);
    // Arrow keys: the selection moves by days (the month follows it); with
    // nothing selected the first press selects today, or the month's first day.
    Q_INVOKABLE void moveSelection(int days);
    // Space: clears the selection, or selects as the first arrow press does.
    Q_INVOKABLE void toggleSelection();
    // Return: a new event on the selected day (selecting one first if needed).
    Q_INVOKABLE void activateSelection();

    // The date may have moved on since the last look.
    void refreshToday();

signals:
    void displayedMonthChanged();
    void selectedDateChanged();
    void dimWeekendsChanged();
    void showWeekNumbersChanged();
    // A day was double-clicked (or activated by Return).
    void dayActivated(const QDate &day);

private:
    void select(const std::optional<QDate> &day);
    QDate keyboardStartDay() const;
    void rebuild();
    // Reads the displayed month's events again, then rebuilds.
    void refreshEventDays();

    AppSettings &m_settings;
    const Clock &m_clock;
    QDate m_today;
    QDate m_displayedMonth; // its first day
    std::optional<QDate> m_selected;
    const CalendarEventManager *m_eventManager = nullptr; // outlives the grid
    QDate m_eventDaysMonth; // the month m_eventDays were read for
    QHash<QDate, EventDay> m_eventDays;
    DayCellsModel m_cells;
};
