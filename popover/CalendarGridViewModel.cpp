// SPDX-License-Identifier: GPL-3.0-or-later
#include "popover/CalendarGridViewModel.h"

#include "calendar/CalendarEventManager.h"
#include "calendar/ZohoTypes.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

// A whole day as a screen reader speaks it, in the user's language.
QString spokenDateFormat()
{
    //: A whole day for screen readers, in QDate::toString's format letters.
    return QCoreApplication::translate("CalendarGridViewModel", "dddd d MMMM yyyy");
}

} // namespace

DayCellsModel::DayCellsModel(QObject *parent)
    : QAbstractListModel(parent)
{ }

void DayCellsModel::setCells(const QList<DayCell> &cells)
{
    if (cells == m_cells)
        return;
    if (cells.size() == m_cells.size()) {
        // Same shape: the delegates stay, only their values change.
        m_cells = cells;
        emit dataChanged(index(0), index(int(m_cells.size()) - 1));
        return;
    }
    beginResetModel();
    m_cells = cells;
    endResetModel();
}

DayCellsModel::TextStyle DayCellsModel::textStyleOf(const DayCell &cell)
{
    if (!cell.date.isValid())
        return ClearText;
    if (cell.isToday)
        return TodayText;
    if (cell.dimmed)
        return cell.isCurrentMonth ? DimmedCurrentMonthText : DimmedOtherMonthText;
    return cell.isCurrentMonth ? CurrentMonthText : OtherMonthText;
}

DayCellsModel::Background DayCellsModel::backgroundOf(const DayCell &cell)
{
    // Today stays drawn as today when it is also selected.
    if (cell.isToday)
        return TodayCircle;
    return cell.isSelected ? SelectedCircle : NoBackground;
}

DayCellsModel::EventDot DayCellsModel::eventDotOf(const DayCell &cell)
{
    if (!cell.date.isValid() || cell.events.calendars == 0)
        return NoDot;
    // On today's filled circle a coloured dot would vanish or clash.
    if (cell.isToday)
        return OnTodayDot;
    return cell.events.calendars > 1 ? SeveralCalendarsDot : CalendarDot;
}

int DayCellsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_cells.size());
}

QVariant DayCellsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_cells.size())
        return {};
    const DayCell &cell = m_cells[index.row()];
    switch (role) {
    case DateRole:
        return cell.date;
    case DayTextRole:
        return cell.date.isValid() ? QString::number(cell.date.day()) : QString();
    case IsBlankRole:
        return !cell.date.isValid();
    case IsTodayRole:
        return cell.isToday;
    case IsSelectedRole:
        return cell.isSelected;
    case TextStyleRole:
        return textStyleOf(cell);
    case BackgroundRole:
        return backgroundOf(cell);
    case AccessibleNameRole: {
        if (!cell.date.isValid())
            return QString();
        QString name = QLocale().toString(cell.date, spokenDateFormat());
        if (cell.isToday)
            name += QCoreApplication::translate("CalendarGridViewModel", ", today");
        if (cell.isSelected)
            name += QCoreApplication::translate("CalendarGridViewModel", ", selected");
        if (cell.events.calendars > 0)
            name += QCoreApplication::translate("CalendarGridViewModel", ", with events");
        return name;
    }
    case EventDotRole:
        return eventDotOf(cell);
    case EventDotColorRole:
        return eventDotOf(cell) == CalendarDot ? cell.events.color : QColor();
    default:
        return {};
    }
}

QHash<int, QByteArray> DayCellsModel::roleNames() const
{
    return {{DateRole, "date"}, {DayTextRole, "dayText"}, {IsBlankRole, "isBlank"}, {IsTodayRole, "isToday"},
        {IsSelectedRole, "isSelected"}, {TextStyleRole, "textStyle"}, {BackgroundRole, "background"},
        {AccessibleNameRole, "accessibleName"}, {EventDotRole, "eventDot"}, {EventDotColorRole, "eventDotColor"}};
}

CalendarGridViewModel::CalendarGridViewModel(AppSettings &settings, const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_clock(clock)
{
    m_today = m_clock.now().date();
    m_displayedMonth = QDate(m_today.year(), m_today.month(), 1);
    connect(&m_settings, &AppSettings::dimWeekendsChanged, this, [this] {
        rebuild();
        emit dimWeekendsChanged();
    });
    connect(&m_settings, &AppSettings::showWeekNumbersChanged, this, &CalendarGridViewModel::showWeekNumbersChanged);
    rebuild();
}

QList<DayCell> CalendarGridViewModel::cellsOf(
    const QDate &month, const std::optional<QDate> &selected, const QDate &today, bool dimWeekends)
{
    const QDate first(month.year(), month.month(), 1);
    if (!first.isValid())
        return {};
    QList<DayCell> cells;
    // Monday is 1 in Qt's numbering, so a month starting on Monday has no blank.
    const int leadingBlanks = first.dayOfWeek() - 1;
    cells.resize(leadingBlanks);
    for (int day = 1; day <= first.daysInMonth(); ++day) {
        DayCell cell;
        cell.date = first.addDays(day - 1);
        cell.isToday = cell.date == today;
        cell.isSelected = selected && *selected == cell.date;
        cell.isCurrentMonth = cell.date.year() == first.year() && cell.date.month() == first.month();
        cells.append(cell);
    }
    while (cells.size() % 7 != 0)
        cells.append(DayCell {});
    for (qsizetype i = 0; i < cells.size(); ++i)
        cells[i].dimmed = dimWeekends && (i % 7 == 5 || i % 7 == 6);
    return cells;
}

QHash<QDate, EventDay> CalendarGridViewModel::eventDaysOf(
    const QList<CalendarEvent> &events, const QDate &first, const QDate &end, const QTimeZone &zone)
{
    QHash<QDate, EventDay> days;
    for (const CalendarEvent &event : events) {
        QDate from, to; // both included
        if (event.allDay) {
            from = event.startDate;
            to = qMax(event.startDate, event.endDate.addDays(-1));
        } else {
            const QDateTime start = event.start.toTimeZone(zone);
            const QDateTime finish = event.end.toTimeZone(zone);
            from = start.date();
            to = finish.date();
            // Until midnight is until the end of the day before.
            if (finish > start && finish.time() == QTime(0, 0))
                to = to.addDays(-1);
            to = qMax(from, to);
        }
        if (!from.isValid() || !to.isValid())
            continue;
        const QColor color = hexColor(event.calendarColor).value_or(systemBlue());
        for (QDate day = qMax(from, first); day <= to && day < end; day = day.addDays(1)) {
            EventDay &marks = days[day];
            if (marks.calendars == 0) {
                marks = {1, color, event.calendarId};
            } else if (marks.calendars == 1 && marks.firstCalendarId != event.calendarId) {
                marks.calendars = 2; // more than one is all that counts
            }
        }
    }
    return days;
}

void CalendarGridViewModel::setEventManager(const CalendarEventManager *manager)
{
    if (m_eventManager)
        disconnect(m_eventManager, nullptr, this, nullptr);
    m_eventManager = manager;
    if (m_eventManager) {
        // Both lists are read at once; the later signal says both are new.
        connect(m_eventManager, &CalendarEventManager::upcomingEventsChanged, this,
            &CalendarGridViewModel::refreshEventDays);
    }
    refreshEventDays();
}

void CalendarGridViewModel::refreshEventDays()
{
    m_eventDays.clear();
    m_eventDaysMonth = m_displayedMonth;
    if (m_eventManager) {
        const CalendarStore &store = m_eventManager->store();
        const QTimeZone zone = m_clock.timeZone();
        const QDate end = m_displayedMonth.addMonths(1);
        QList<CalendarEvent> events = store.events(m_displayedMonth.startOfDay(zone), end.startOfDay(zone),
            CalendarEventManager::visibleCalendarIds(store, m_eventManager->hiddenCalendarIds()));
        // Zoho's events are the coming week's alone: a month's dots would
        // be whole for some weeks and empty for others.
        events.removeIf([](const CalendarEvent &event) { return event.providerId == ZohoProviderId; });
        m_eventDays = eventDaysOf(events, m_displayedMonth, end, zone);
    }
    rebuild();
}

QString CalendarGridViewModel::title() const
{
    return QLocale().toString(m_displayedMonth, QStringLiteral("MMMM yyyy"));
}

QString CalendarGridViewModel::selectionDescription() const
{
    if (!m_selected)
        return QCoreApplication::translate("CalendarGridViewModel", "No day selected");
    return QLocale().toString(*m_selected, spokenDateFormat());
}

bool CalendarGridViewModel::dimWeekends() const
{
    return m_settings.dimWeekends();
}

QVariantList CalendarGridViewModel::weekdays() const
{
    static const char *const symbols[] = {"M", "T", "W", "T", "F", "S", "S"};
    QVariantList columns;
    for (int column = 0; column < 7; ++column) {
        columns.append(QVariantMap {
            {QStringLiteral("symbol"), QString::fromLatin1(symbols[column])},
            {QStringLiteral("name"), QLocale().dayName(column + 1)},
            {QStringLiteral("dimmed"), dimWeekends() && column >= 5},
        });
    }
    return columns;
}

bool CalendarGridViewModel::showWeekNumbers() const
{
    return m_settings.showWeekNumbers();
}

QList<int> CalendarGridViewModel::weekNumbersOf(const QDate &month)
{
    const QDate first(month.year(), month.month(), 1);
    const int rows = int(cellsOf(month, std::nullopt, QDate(), false).size() / 7);
    QList<int> numbers;
    QDate monday = first.addDays(1 - first.dayOfWeek());
    for (int row = 0; row < rows; ++row, monday = monday.addDays(7))
        numbers.append(monday.weekNumber());
    return numbers;
}

QVariantList CalendarGridViewModel::weekNumbers() const
{
    QVariantList rows;
    for (const int number : weekNumbersOf(m_displayedMonth)) {
        rows.append(QVariantMap {
            {QStringLiteral("number"), number},
            {QStringLiteral("name"), tr("Week %1").arg(number)},
        });
    }
    return rows;
}

void CalendarGridViewModel::changeMonth(int months)
{
    const QDate month = m_displayedMonth.addMonths(months);
    if (!month.isValid())
        return;
    m_displayedMonth = month;
    rebuild();
    emit displayedMonthChanged();
}

void CalendarGridViewModel::clickDay(int index)
{
    const DayCell cell = m_cells.cells().value(index);
    if (!cell.date.isValid())
        return;
    if (m_selected && *m_selected == cell.date)
        select(std::nullopt);
    else
        select(cell.date);
}

void CalendarGridViewModel::doubleClickDay(int index)
{
    const DayCell cell = m_cells.cells().value(index);
    if (!cell.date.isValid())
        return;
    select(cell.date);
    emit dayActivated(cell.date);
}

QDate CalendarGridViewModel::keyboardStartDay() const
{
    const bool todayShown = m_today.year() == m_displayedMonth.year() && m_today.month() == m_displayedMonth.month();
    return todayShown ? m_today : m_displayedMonth;
}

void CalendarGridViewModel::moveSelection(int days)
{
    if (!m_selected) {
        select(keyboardStartDay());
        return;
    }
    const QDate target = m_selected->addDays(days);
    if (!target.isValid())
        return;
    select(target);
    if (target.year() != m_displayedMonth.year() || target.month() != m_displayedMonth.month()) {
        m_displayedMonth = QDate(target.year(), target.month(), 1);
        rebuild();
        emit displayedMonthChanged();
    }
}

void CalendarGridViewModel::toggleSelection()
{
    select(m_selected ? std::nullopt : std::optional<QDate>(keyboardStartDay()));
}

void CalendarGridViewModel::activateSelection()
{
    if (!m_selected)
        select(keyboardStartDay());
    emit dayActivated(*m_selected);
}

void CalendarGridViewModel::refreshToday()
{
    const QDate today = m_clock.now().date();
    if (today == m_today)
        return;
    m_today = today;
    rebuild();
}

void CalendarGridViewModel::select(const std::optional<QDate> &day)
{
    if (day == m_selected)
        return;
    m_selected = day;
    rebuild();
    emit selectedDateChanged();
}

void CalendarGridViewModel::rebuild()
{
    if (m_eventDaysMonth != m_displayedMonth) {
        refreshEventDays(); // another month: its own events
        return;
    }
    QList<DayCell> cells = cellsOf(m_displayedMonth, m_selected, m_today, m_settings.dimWeekends());
    for (DayCell &cell : cells)
        cell.events = m_eventDays.value(cell.date);
    m_cells.setCells(cells);
}
