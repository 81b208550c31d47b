// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/AnyCalendarEvent.h"
#include "calendar/CalendarTypes.h"
#include "calendar/Clock.h"

#include <QColor>
#include <QObject>
#include <QUrl>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class CalendarStore;
class DesktopLauncher;

// The detail sheet of one event: its rows by kind of event, whether it can
// be deleted, the delete confirmation, and the links out.
class EventDetailViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the popover's view model")
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QColor color READ color CONSTANT)
    Q_PROPERTY(bool isZoho READ isZoho CONSTANT)
    Q_PROPERTY(QVariantList rows READ rows NOTIFY rowsChanged)
    Q_PROPERTY(bool canDelete READ canDelete CONSTANT)
    Q_PROPERTY(bool showDeleteConfirm READ showDeleteConfirm NOTIFY showDeleteConfirmChanged)
    Q_PROPERTY(QString deleteConfirmTitle READ deleteConfirmTitle CONSTANT)
    Q_PROPERTY(bool showsOpenInCalendar READ showsOpenInCalendar CONSTANT)
    Q_PROPERTY(QString deleteError READ deleteError NOTIFY deleteErrorChanged)
public:
    // One line of the body. `kind` names what it shows.
    struct Row
    {
        QString kind; // "date", "time", "status", "calendar", "notes", "meeting", "link"
        QString icon; // symbol name
        QString label;
        bool accent = false;
    };

    EventDetailViewModel(const AnyCalendarEvent &event, CalendarStore &store, const Clock &clock,
        DesktopLauncher &launcher, QObject *parent = nullptr);

    const AnyCalendarEvent &shownEvent() const { return m_event; }
    QString title() const { return m_event.title; }
    QColor color() const { return m_event.color; }
    bool isZoho() const { return m_event.source == Source::Zoho; }
    QList<Row> rowList() const;
    QVariantList rows() const;
    bool canDelete() const { return m_canDelete; }
    bool showDeleteConfirm() const { return m_showDeleteConfirm; }
    QString deleteConfirmTitle() const;
    bool showsOpenInCalendar() const { return m_event.source == Source::Local; }
    QUrl link() const { return m_link; }
    // Where the event's online meeting is joined; empty when it has none.
    QUrl meetingLink() const { return m_meetingLink; }
    // Why the last delete failed; empty after a success or a new try.
    QString deleteError() const { return m_deleteError; }

    Q_INVOKABLE void close() { emit closed(); }
    Q_INVOKABLE void requestDelete();
    Q_INVOKABLE void cancelDelete();
    // Removes this occurrence only. On success the sheet closes
    // (`deleted`); on failure it stays open and says why (`deleteError`).
    Q_INVOKABLE void confirmDelete();
    Q_INVOKABLE void openLink();
    Q_INVOKABLE void joinMeeting();
    Q_INVOKABLE void openInCalendar();

    // The status row reads the clock: redraw it.
    void refresh() { emit rowsChanged(); }

signals:
    void rowsChanged();
    void showDeleteConfirmChanged();
    void closed();
    void deleted();
    void deleteErrorChanged();

private:
    void setDeleteError(const QString &error);

    AnyCalendarEvent m_event;
    CalendarStore &m_store;
    const Clock &m_clock;
    DesktopLauncher &m_launcher;
    EventDetails m_details;
    QUrl m_link;
    QUrl m_meetingLink;
    bool m_canDelete = false;
    bool m_showDeleteConfirm = false;
    bool m_deleting = false;
    QString m_deleteError;
};
