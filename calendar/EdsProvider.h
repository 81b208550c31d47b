// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarProvider.h"
#include "calendar/Clock.h"

#include <memory>

struct EdsProviderPrivate;

// The desktop's calendars, read through Evolution Data Server: every enabled
// calendar of every account its source registry knows (its own local
// calendars, Google, Exchange, Nextcloud and other CalDAV accounts).
// Discovery, connections and change notifications are asynchronous and run
// in the GLib main loop that Qt runs on this thread; queries are answered
// from a window of occurrences kept in memory. No EDS type leaves this class.
class EdsProvider final : public CalendarProvider
{
    Q_OBJECT
public:
    static constexpr int DefaultLoadTimeoutMs = 5000;

    explicit EdsProvider(const Clock &clock, QObject *parent = nullptr);
    ~EdsProvider() override;

    // Looks for the session bus and the source registry in the background.
    // `loaded` follows when every calendar has been read once, when there is
    // no registry, or when the load timeout has passed, whichever is first.
    void start() override;

    QString providerId() const override { return QStringLiteral("eds"); }
    bool isLoaded() const override;
    bool isReadable() const override;
    QList<CalendarSource> sources() const override;
    QList<CalendarInfo> calendars() const override;
    QString defaultCalendarId() const override;
    // Every event of the range, whatever `atLeastFirst` says.
    QList<CalendarEvent> events(const QDateTime &start, const QDateTime &end, const QSet<QString> &calendarIds,
        qsizetype atLeastFirst) const override;
    std::optional<CalendarEvent> eventById(const QString &id) const override;
    EventDetails eventDetails(const CalendarEvent &event) const override;
    StoreResult saveEvent(const NewEventRequest &request) override;
    StoreResult removeEvent(const CalendarEvent &event, RemoveSpan span) override;

    // Whether the source registry has answered; without it the provider
    // offers nothing and waits for the registry to appear on the bus.
    bool hasRegistry() const;
    // Set before start().
    void setLoadTimeout(int milliseconds);
    // How long changes reported by the calendars are gathered before they
    // are applied and announced.
    void setCoalescingInterval(int milliseconds);
    qsizetype eventRecordCount() const;
    size_t windowOccurrenceCount() const;

private:
    std::shared_ptr<EdsProviderPrivate> d;
};
