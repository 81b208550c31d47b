// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AgendaCommand.h"

#include "app/CommandSupport.h"
#include "app/StoreSetup.h"
#include "app/ZohoServices.h"
#include "calendar/AnyCalendarEvent.h"
#include "calendar/CalendarEventManager.h"
#include "calendar/CalendarNames.h"
#include "calendar/EventFormatting.h"
#include "calendar/MeetingLinks.h"
#include "settings/AppSettings.h"
#include "zoho/ZohoProvider.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

// What a printed row says about its calendar.
struct CalendarLabel
{
    QString title;
    QString id;
    QString color; // "#RRGGBB" or empty
};

CalendarLabel labelOf(const AnyCalendarEvent &event)
{
    const CalendarEvent &stored = event.storeEvent;
    // Scripts have always been given Zoho's own id for its calendars.
    const QString id
        = event.source == Source::Zoho ? ZohoProvider::zohoCalendarId(stored.calendarId) : stored.calendarId;
    return {EventFormatting::oneLineTitle(stored.calendarTitle), id, stored.calendarColor};
}

// The provider an event comes from: "local", "eds" or "zoho".
QString providerOf(const AnyCalendarEvent &event)
{
    return event.storeEvent.providerId.isEmpty() ? QStringLiteral("local") : event.storeEvent.providerId;
}

QString timeText(const AnyCalendarEvent &event, const QTimeZone &zone)
{
    if (event.isAllDay)
        return QCoreApplication::translate("AgendaCommand", "All day");
    return event.startDate.toTimeZone(zone).toString(QStringLiteral("HH:mm")) + QChar(0x2013)
        + event.endDate.toTimeZone(zone).toString(QStringLiteral("HH:mm"));
}

QDate startDay(const AnyCalendarEvent &event, const QTimeZone &zone)
{
    return event.isAllDay && event.storeEvent.startDate.isValid() ? event.storeEvent.startDate
                                                                  : event.startDate.toTimeZone(zone).date();
}

QJsonObject toJson(const AnyCalendarEvent &event, const QTimeZone &zone, const CalendarStore &store)
{
    const CalendarLabel calendar = labelOf(event);
    // Zoho's untitled events have always been listed with their empty title.
    const bool untitled = event.source != Source::Zoho && !event.storeEvent.hasTitle;
    QJsonObject object;
    object[QStringLiteral("id")] = event.id;
    object[QStringLiteral("title")]
        = untitled ? QJsonValue(QJsonValue::Null) : QJsonValue(EventFormatting::oneLineTitle(event.title));
    if (event.isAllDay) {
        const QDate start = startDay(event, zone);
        const QDate end
            = event.storeEvent.endDate.isValid() ? event.storeEvent.endDate : event.endDate.toTimeZone(zone).date();
        object[QStringLiteral("start")] = start.toString(Qt::ISODate);
        // `end` is iCalendar's, the day after the last; `lastDay` the last
        // day itself, as `brivane add --end` takes it.
        object[QStringLiteral("end")] = end.toString(Qt::ISODate);
        object[QStringLiteral("lastDay")] = std::max(start, end.addDays(-1)).toString(Qt::ISODate);
    } else {
        object[QStringLiteral("start")] = event.startDate.toTimeZone(zone).toString(Qt::ISODate);
        object[QStringLiteral("end")] = event.endDate.toTimeZone(zone).toString(Qt::ISODate);
    }
    object[QStringLiteral("allDay")] = event.isAllDay;
    object[QStringLiteral("calendar")] = calendar.title;
    object[QStringLiteral("calendarId")] = calendar.id;
    object[QStringLiteral("source")] = providerOf(event);
    object[QStringLiteral("color")]
        = calendar.color.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(calendar.color);
    const QUrl meeting = MeetingLinks::find(store.eventDetails(event.storeEvent));
    object[QStringLiteral("meetingUrl")]
        = meeting.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(meeting.toString(QUrl::FullyEncoded));
    return object;
}

// A list as printed: its first events, and how many more there are.
struct Section
{
    QList<AnyCalendarEvent> events;
    qsizetype more = 0;
};

// The popover's lists hold ten events; so does the agenda unless asked for all.
Section sectionOf(QList<AnyCalendarEvent> events, bool all)
{
    Section section;
    if (!all && events.size() > CalendarEventManager::MaxEventsPerList) {
        section.more = events.size() - CalendarEventManager::MaxEventsPerList;
        events.resize(CalendarEventManager::MaxEventsPerList);
    }
    section.events = std::move(events);
    return section;
}

void printSection(QTextStream &out, const QString &heading, const Section &section,
    const QHash<QString, QString> &calendarNames, const QTimeZone &zone, bool withDay)
{
    out << heading << '\n';
    if (section.events.isEmpty())
        out << "  " << QCoreApplication::translate("AgendaCommand", "No events") << '\n';
    const QLocale locale;
    for (const AnyCalendarEvent &event : section.events) {
        out << "  ";
        if (withDay)
            out << locale.toString(startDay(event, zone), QStringLiteral("ddd d MMM")) << "  ";
        out << timeText(event, zone) << "  " << EventFormatting::oneLineTitle(event.title);
        const CalendarLabel label = labelOf(event);
        const QString calendar = EventFormatting::oneLineTitle(calendarNames.value(label.id, label.title));
        if (!calendar.isEmpty())
            out << "  (" << calendar << ')';
        out << '\n';
    }
    if (section.more > 0)
        out << "  " << QCoreApplication::translate("AgendaCommand", "\u2026 and %n more", nullptr, int(section.more))
            << '\n';
}

void printAgenda(const CalendarStore &store, const QSet<QString> &hiddenCalendarIds, const Clock &clock, bool json,
    bool all, QTextStream &out)
{
    // Whole lists, so that what is left out can be counted.
    const auto lists = CalendarEventManager::query(store, hiddenCalendarIds, clock.now(), CalendarProvider::AllEvents);
    const Section today = sectionOf(UnifiedEvents::fromStore(lists.today), all);
    const Section upcoming = sectionOf(UnifiedEvents::fromStore(lists.upcoming), all);
    const QTimeZone zone = clock.timeZone();

    if (json) {
        QJsonArray todayArray, upcomingArray;
        for (const AnyCalendarEvent &event : today.events)
            todayArray.append(toJson(event, zone, store));
        for (const AnyCalendarEvent &event : upcoming.events)
            upcomingArray.append(toJson(event, zone, store));
        // How many events each list leaves out (none with --all).
        const QJsonObject more {
            {QStringLiteral("today"), double(today.more)}, {QStringLiteral("upcoming"), double(upcoming.more)}};
        out << QJsonDocument(QJsonObject {{QStringLiteral("today"), todayArray},
                                 {QStringLiteral("upcoming"), upcomingArray}, {QStringLiteral("more"), more}})
                   .toJson(QJsonDocument::Indented);
    } else {
        // Calendars of one name are told apart by their accounts.
        const QHash<QString, QString> names = CalendarNames::ofStore(store);
        printSection(out, QCoreApplication::translate("AgendaCommand", "Today"), today, names, zone, false);
        printSection(out, QCoreApplication::translate("AgendaCommand", "Upcoming"), upcoming, names, zone, true);
    }
}

struct AgendaArguments
{
    std::unique_ptr<Clock> clock; // null on bad arguments
    bool json = false;
    bool all = false;
};

AgendaArguments parseAgendaArguments(const QStringList &arguments, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Prints the rest of today's events and the coming week's."));
    const QCommandLineOption atOption(QStringLiteral("at"),
        QStringLiteral("Take DATETIME (ISO 8601, local without an offset) as now."), QStringLiteral("DATETIME"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print JSON."));
    const QCommandLineOption allOption(
        QStringLiteral("all"), QStringLiteral("List every event, not only the first ten of each list."));
    parser.addOptions({atOption, jsonOption, allOption});
    const QString usage = QStringLiteral("usage: brivane agenda [--at DATETIME] [--json] [--all]\n");
    AgendaArguments parsed;
    parsed.clock = parseCommandLine(parser, arguments, atOption, QStringLiteral("agenda"), usage, err);
    parsed.json = parser.isSet(jsonOption);
    parsed.all = parser.isSet(allOption);
    return parsed;
}

} // namespace

int runAgendaCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const AgendaArguments parsed = parseAgendaArguments(arguments, err);
    if (!parsed.clock)
        return 2;

    AppSettings &settings = AppSettings::shared();
    std::unique_ptr<CalendarStore> store = createCalendarStore(settings, *parsed.clock, StoreUse::AnswersOnce);
    ZohoServices zoho(settings, *parsed.clock, ZohoServices::Use::Command);
    zoho.addProviderTo(*store);
    // Zoho's failures are told and make the exit status; the events that
    // could be read are listed all the same.
    int status = 0;
    if (zoho.auth().isConnected()) {
        const QString failure = zoho.syncAndWait();
        if (!zoho.calendars().lastWarning().isEmpty())
            err << "brivane agenda: Zoho: " << zoho.calendars().lastWarning() << '\n';
        if (!failure.isEmpty()) {
            err << "brivane agenda: Zoho: " << failure << '\n';
            status = 1;
        }
        if (zoho.calendars().isFromCache()) {
            err << "brivane agenda: Zoho: "
                << QCoreApplication::translate("AgendaCommand", "showing the last sync's events, from %1")
                       .arg(zoho.calendars().lastSynced().toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                << '\n';
        }
    }
    store->waitUntilLoaded();
    printAgenda(*store, settings.hiddenCalendarIds(), *parsed.clock, parsed.json, parsed.all, out);
    out.flush();
    store->finishBackgroundWork();
    (void)store.release(); // the process ends now: the operating system frees it faster
    return status;
}

bool answerAgendaCommand(const QStringList &arguments, const CalendarStore &store, QTextStream &out)
{
    QString errors;
    QTextStream err(&errors);
    const AgendaArguments parsed = parseAgendaArguments(arguments, err);
    if (!parsed.clock)
        return false;
    printAgenda(store, AppSettings::shared().hiddenCalendarIds(), *parsed.clock, parsed.json, parsed.all, out);
    return true;
}
