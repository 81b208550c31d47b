// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/AnyCalendarEvent.h"

#include <QAbstractListModel>
#include <QHash>
#include <QTimeZone>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <functional>

// Rows of an event list with every text already made; the view only lays
// them out. The clock moves with setNow, which touches only what depends on it.
class EventRowsModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the events list's view model")
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
public:
    enum Role {
        TitleRole = Qt::UserRole + 1,
        TimeTextRole,
        RelativeTextRole,
        ColorRole,
        IsZohoRole,
        IsHappeningRole,
        EventIdRole,
        AccessibleNameRole,
        CanJoinRole,
        ZohoNoteRole,
    };
    // An event's meeting link, or an empty URL; read only for rows whose
    // meeting may be joined now (it may read the event's file).
    using MeetingLinkLookup = std::function<QUrl(const AnyCalendarEvent &event)>;

    explicit EventRowsModel(QObject *parent = nullptr);

    void setEvents(const QList<AnyCalendarEvent> &events, const QDateTime &now, const QTimeZone &zone);
    void setNow(const QDateTime &now);
    // What Zoho's mark says of its rows (and their accessible names): that
    // they are Zoho's, and where they are the last sync's, since when.
    void setZohoNote(const QString &note);
    const QString &zohoNote() const { return m_zohoNote; }
    const QList<AnyCalendarEvent> &events() const { return m_events; }
    void setMeetingLinkLookup(MeetingLinkLookup lookup) { m_meetingLinkOf = std::move(lookup); }
    // The link to join the row's meeting now: while it is under way or
    // starts within MeetingLinks::JoinLeadMinutes; else empty.
    QUrl joinLink(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    QList<AnyCalendarEvent> m_events;
    QDateTime m_now;
    QTimeZone m_zone;
    QString m_zohoNote;
    MeetingLinkLookup m_meetingLinkOf;
    mutable QHash<QString, QUrl> m_meetingLinks; // by event id, for the rows shown
};
