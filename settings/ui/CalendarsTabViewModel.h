// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"

#include <QAbstractListModel>
#include <QColor>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class AppSettings;
class CalendarStore;

// The Calendars tab as one list of rows: the store's calendars under their
// source's title, the empty-state note when there are none, then Zoho's
// calendars when Zoho has any. Read afresh on every change of the store or
// the hidden set; only what changed is announced, so a row that
// has the keyboard keeps it when its calendar is toggled.
class CalendarsTabViewModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the settings window's view model")
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
public:
    enum Kind { GroupHeadingRow, CalendarRow, EmptyNoteRow, ZohoHeadingRow, ZohoCalendarRow };
    Q_ENUM(Kind)
    enum Role {
        KindRole = Qt::UserRole + 1,
        TitleRole,
        ColorRole,
        IdentifierRole,
        ShownRole,
        GroupRole,
    };

    struct Row
    {
        Kind kind = CalendarRow;
        QString title; // heading text, calendar title or the note
        QColor color;
        QString identifier; // the store's calendar identifier
        bool shown = false;
        QString group; // the heading a calendar row sits under

        bool operator==(const Row &other) const = default;
    };
    struct Group
    {
        QString title;
        QList<CalendarInfo> calendars;
    };

    // Calendars grouped by their source's title: calendars keep the given
    // order inside a group, groups are ordered by title as plain text (upper
    // case before lower case, not by locale); sources sharing a title share
    // a group.
    static QList<Group> groupBySource(const QList<CalendarInfo> &calendars, const QList<CalendarSource> &sources);
    static QString emptyText();

    CalendarsTabViewModel(CalendarStore &store, AppSettings &settings, QObject *parent = nullptr);

    const QList<Row> &rows() const { return m_rows; }

    // Shows the row's calendar when hidden, hides it when shown: what a
    // click on the row and a flip of its switch both do.
    Q_INVOKABLE void toggle(int row);
    // Reads everything again (the tab was selected, say).
    Q_INVOKABLE void refresh();

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    QList<Row> buildRows() const;

    CalendarStore &m_store;
    AppSettings &m_settings;
    QList<Row> m_rows;
};
