// SPDX-License-Identifier: GPL-3.0-or-later
#include "popover/EventDetailViewModel.h"

#include "calendar/CalendarStore.h"
#include "calendar/DesktopLauncher.h"
#include "calendar/EventFormatting.h"
#include "calendar/EventRemoval.h"
#include "calendar/MeetingLinks.h"

#include <QCoreApplication>
#include <QLocale>

EventDetailViewModel::EventDetailViewModel(
    const AnyCalendarEvent &event, CalendarStore &store, const Clock &clock, DesktopLauncher &launcher, QObject *parent)
    : QObject(parent)
    , m_event(event)
    , m_store(store)
    , m_clock(clock)
    , m_launcher(launcher)
{
    m_details = m_store.eventDetails(m_event.storeEvent);
    if (!m_details.url.trimmed().isEmpty())
        m_link = QUrl(m_details.url.trimmed());
    m_meetingLink = MeetingLinks::find(m_details);
    m_canDelete = !EventRemoval::refusal(m_event, m_store);
}

QList<EventDetailViewModel::Row> EventDetailViewModel::rowList() const
{
    const QTimeZone zone = m_clock.timeZone();
    const QDate day = m_event.isAllDay && m_event.storeEvent.startDate.isValid()
        ? m_event.storeEvent.startDate
        : m_event.startDate.toTimeZone(zone).date();
    QList<Row> rows;
    rows.append({QStringLiteral("date"), QStringLiteral("calendar"),
        QLocale().toString(day,
            //: The detail's date, in QDate::toString's format letters.
            QCoreApplication::translate("EventDetailViewModel", "dddd, MMMM d, yyyy")),
        false});
    if (!m_event.isAllDay) {
        rows.append({QStringLiteral("time"), QStringLiteral("clock"),
            EventFormatting::timeText(m_event.startDate, m_event.endDate, false, zone), false});
    }
    const QDateTime now = m_clock.now();
    if (EventFormatting::isHappening(m_event.startDate, m_event.endDate, now))
        rows.append({QStringLiteral("status"), QStringLiteral("circle.fill"), tr("Happening now"), true});
    else
        rows.append({QStringLiteral("status"), QStringLiteral("timer"),
            EventFormatting::relativeTimeLabel(m_event.startDate, m_event.endDate, now), false});
    rows.append({QStringLiteral("calendar"), QStringLiteral("folder"),
        m_event.source == Source::Zoho ? tr("Zoho Calendar") : m_event.storeEvent.calendarTitle, false});
    if (!m_details.notes.isEmpty())
        rows.append({QStringLiteral("notes"), QStringLiteral("note.text"), m_details.notes, false});
    if (!m_meetingLink.isEmpty())
        rows.append({QStringLiteral("meeting"), QStringLiteral("video"), tr("Join meeting"), true});
    if (!m_link.isEmpty()) {
        const QString host = m_link.host();
        rows.append(
            {QStringLiteral("link"), QStringLiteral("link"), host.isEmpty() ? m_details.url.trimmed() : host, true});
    }
    return rows;
}

QVariantList EventDetailViewModel::rows() const
{
    QVariantList result;
    for (const Row &row : rowList()) {
        result.append(QVariantMap {{QStringLiteral("kind"), row.kind}, {QStringLiteral("icon"), row.icon},
            {QStringLiteral("label"), row.label}, {QStringLiteral("accent"), row.accent}});
    }
    return result;
}

QString EventDetailViewModel::deleteConfirmTitle() const
{
    return tr("Delete") + QStringLiteral(" \"") + m_event.title + QStringLiteral("\"?");
}

void EventDetailViewModel::requestDelete()
{
    if (!m_canDelete || m_showDeleteConfirm)
        return;
    m_showDeleteConfirm = true;
    emit showDeleteConfirmChanged();
}

void EventDetailViewModel::cancelDelete()
{
    if (!m_showDeleteConfirm)
        return;
    m_showDeleteConfirm = false;
    emit showDeleteConfirmChanged();
}

void EventDetailViewModel::confirmDelete()
{
    // Only once: a second press while the sheet closes must not remove the
    // next occurrence the lists hand out.
    if (!m_canDelete || m_deleting)
        return;
    m_deleting = true;
    m_showDeleteConfirm = false;
    emit showDeleteConfirmChanged();
    const StoreResult removed = EventRemoval::remove(m_event, m_store);
    if (!removed.ok) {
        // The sheet stays, so the user sees that the event is still there
        // and why; another try is allowed.
        m_deleting = false;
        setDeleteError(removed.error.isEmpty() ? tr("The event could not be deleted.") : removed.error);
        return;
    }
    setDeleteError({});
    emit deleted();
}

void EventDetailViewModel::setDeleteError(const QString &error)
{
    if (m_deleteError == error)
        return;
    m_deleteError = error;
    emit deleteErrorChanged();
}

void EventDetailViewModel::openLink()
{
    if (m_link.isValid() && !m_link.isEmpty())
        m_launcher.openUrl(m_link);
}

void EventDetailViewModel::joinMeeting()
{
    if (!m_meetingLink.isEmpty())
        m_launcher.openUrl(m_meetingLink);
}

void EventDetailViewModel::openInCalendar()
{
    // The desktop's calendar application knows nothing of Zoho.
    if (m_event.source == Source::Zoho)
        return;
    const QDate day
        = m_event.isAllDay ? m_event.storeEvent.startDate : m_event.startDate.toTimeZone(m_clock.timeZone()).date();
    m_launcher.openCalendarApp(day);
}
