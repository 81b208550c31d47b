// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/CalendarsTabViewModel.h"

#include "calendar/CalendarStore.h"
#include "calendar/FixedColors.h"
#include "calendar/ZohoTypes.h"
#include "settings/AppSettings.h"

#include <QHash>
#include <map>

QList<CalendarsTabViewModel::Group> CalendarsTabViewModel::groupBySource(
    const QList<CalendarInfo> &calendars, const QList<CalendarSource> &sources)
{
    QHash<QString, QString> titleOfSource;
    for (const CalendarSource &source : sources)
        titleOfSource.insert(source.identifier, source.title);
    // std::map orders QString keys by UTF-16 code units: plain, case-sensitive.
    std::map<QString, QList<CalendarInfo>> byTitle;
    for (const CalendarInfo &calendar : calendars)
        byTitle[titleOfSource.value(calendar.sourceId)].append(calendar);
    QList<Group> groups;
    for (const auto &[title, members] : byTitle)
        groups.append(Group {title, members});
    return groups;
}

QString CalendarsTabViewModel::emptyText()
{
    return tr("No calendars found.\nGrant Calendar access to see your calendars.");
}

CalendarsTabViewModel::CalendarsTabViewModel(CalendarStore &store, AppSettings &settings, QObject *parent)
    : QAbstractListModel(parent)
    , m_store(store)
    , m_settings(settings)
{
    connect(&m_store, &CalendarStore::changed, this, &CalendarsTabViewModel::refresh);
    connect(&m_store, &CalendarStore::loaded, this, &CalendarsTabViewModel::refresh);
    connect(&m_settings, &AppSettings::hiddenCalendarIdsChanged, this, &CalendarsTabViewModel::refresh);
    m_rows = buildRows();
}

QList<CalendarsTabViewModel::Row> CalendarsTabViewModel::buildRows() const
{
    QList<Row> rows;
    const QSet<QString> hidden = m_settings.hiddenCalendarIds();
    // Zoho's account comes last, under its own heading, as it always has.
    QList<CalendarInfo> calendars;
    QList<CalendarInfo> zohoCalendars;
    QList<CalendarSource> sources;
    QString zohoTitle;
    for (const CalendarSource &source : m_store.sources()) {
        if (source.service == ZohoProviderId)
            zohoTitle = source.title;
        else
            sources.append(source);
    }
    for (const CalendarInfo &calendar : m_store.calendars())
        (calendar.providerId == ZohoProviderId ? zohoCalendars : calendars).append(calendar);
    const QList<Group> groups = groupBySource(calendars, sources);
    for (const Group &group : groups) {
        rows.append(Row {GroupHeadingRow, group.title, {}, {}, false, {}});
        for (const CalendarInfo &calendar : group.calendars) {
            const QColor color(calendar.color);
            rows.append(Row {CalendarRow, calendar.title, color.isValid() ? color : FixedColors::blue(),
                calendar.identifier, !hidden.contains(calendar.identifier), group.title});
        }
    }
    if (groups.isEmpty())
        rows.append(Row {EmptyNoteRow, emptyText(), {}, {}, false, {}});
    if (!zohoCalendars.isEmpty()) {
        rows.append(Row {ZohoHeadingRow, zohoTitle, {}, {}, false, {}});
        for (const CalendarInfo &calendar : std::as_const(zohoCalendars)) {
            rows.append(Row {ZohoCalendarRow, calendar.title, hexColor(calendar.color).value_or(FixedColors::orange()),
                calendar.identifier, !hidden.contains(calendar.identifier), zohoTitle});
        }
    }
    return rows;
}

void CalendarsTabViewModel::refresh()
{
    QList<Row> rows = buildRows();
    const auto sameExceptShown = [](Row a, Row b) {
        a.shown = b.shown;
        return a == b;
    };
    bool sameShape = rows.size() == m_rows.size();
    for (qsizetype i = 0; sameShape && i < rows.size(); ++i)
        sameShape = sameExceptShown(rows[i], m_rows[i]);
    if (!sameShape) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        emit countChanged();
        return;
    }
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].shown != m_rows[i].shown) {
            m_rows[i].shown = rows[i].shown;
            emit dataChanged(index(int(i)), index(int(i)), {ShownRole});
        }
    }
}

void CalendarsTabViewModel::toggle(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    const Row &target = m_rows[row];
    if (target.kind == CalendarRow || target.kind == ZohoCalendarRow)
        m_settings.toggleCalendar(target.identifier);
}

int CalendarsTabViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant CalendarsTabViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows[index.row()];
    switch (role) {
    case KindRole:
        return row.kind;
    case TitleRole:
        return row.title;
    case ColorRole:
        return row.color;
    case IdentifierRole:
        return row.identifier;
    case ShownRole:
        return row.shown;
    case GroupRole:
        return row.group;
    default:
        return {};
    }
}

QHash<int, QByteArray> CalendarsTabViewModel::roleNames() const
{
    return {{KindRole, "kind"}, {TitleRole, "title"}, {ColorRole, "color"}, {IdentifierRole, "identifier"},
        {ShownRole, "shown"}, {GroupRole, "group"}};
}
