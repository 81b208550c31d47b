// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarProvider.h"
#include "calendar/Clock.h"
#include "calendar/ZohoTypes.h"

#include <QPointer>

class ZohoCalendarManager;

// Zoho's calendars and events among the store's: what the manager read at
// its last sync (or restored from the cache), every calendar of it, so that
// hiding one is the store's filter and takes effect at once. New events are
// sent to Zoho; Zoho's events are only shown, never changed or deleted here.
class ZohoProvider : public CalendarProvider
{
    Q_OBJECT
public:
    static constexpr QLatin1String Id {"zoho"};

    // The manager outlives the provider or announces its end by being
    // destroyed (the provider then holds nothing).
    explicit ZohoProvider(ZohoCalendarManager &manager, QObject *parent = nullptr);

    // The store's identifiers of Zoho's calendars and events: prefixed, so
    // that they never meet another provider's. `zohoCalendarId` gives back
    // Zoho's own id, empty for a calendar that is not Zoho's.
    static QString calendarIdOf(const QString &zohoCalendarId);
    static QString zohoCalendarId(const QString &calendarId);
    static QString eventIdOf(const QString &zohoEventId);
    // The one account the calendars belong to.
    static CalendarSource source();
    static CalendarEvent toCalendarEvent(const ZohoEvent &event, const QString &calendarTitle, const QTimeZone &zone);

    QString providerId() const override { return Id; }
    void start() override;
    bool isLoaded() const override { return true; }
    bool isReadable() const override;
    QList<CalendarSource> sources() const override;
    QList<CalendarInfo> calendars() const override;
    QString defaultCalendarId() const override { return {}; }
    QList<CalendarEvent> events(const QDateTime &start, const QDateTime &end, const QSet<QString> &calendarIds,
        qsizetype atLeastFirst) const override;
    std::optional<CalendarEvent> eventById(const QString &id) const override;
    EventDetails eventDetails(const CalendarEvent &event) const override;
    StoreResult saveEvent(const NewEventRequest &request) override;
    void saveEventLater(const NewEventRequest &request, SaveCallback done) override;
    StoreResult removeEvent(const CalendarEvent &event, RemoveSpan span) override;

private:
    QList<CalendarEvent> allEvents() const;
    void announceChange();

    QPointer<ZohoCalendarManager> m_manager;
    bool m_changeAnnounced = false;
};
