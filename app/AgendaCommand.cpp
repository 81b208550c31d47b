#include "app/AgendaCommand.h"

#include "app/CommandSupport.h"
#include "app/StoreSetup.h"
#include "calendar/CalendarEventManager.h"
#include "calendar/EventFormatting.h"
#include "settings/AppSettings.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

QJsonObject toJson(const CalendarEvent &event, const QTimeZone &zone)
{
    QJsonObject object;
    object[QStringLiteral("id")] = event.id;
    object[QStringLiteral("title")] = event.hasTitle ? QJsonValue(event.title) : QJsonValue(QJsonValue::Null);
    if (event.allDay) {
        object[QStringLiteral("start")] = event.startDate.toString(Qt::ISODate);
        object[QStringLiteral("end")] = event.endDate.toString(Qt::ISODate);
    } else {
        object[QStringLiteral("start")] = event.start.toTimeZone(zone).toString(Qt::ISODate);
        object[QStringLiteral("end")] = event.end.toTimeZone(zone).toString(Qt::ISODate);
    }
    object[QStringLiteral("allDay")] = event.allDay;
    object[QStringLiteral("calendar")] = event.calendarTitle;
    object[QStringLiteral("calendarId")] = event.calendarId;
    object[QStringLiteral("source")] = QStringLiteral("local");
    object[QStringLiteral("color")]
        = event.calendarColor.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(event.calendarColor);
    return object;
}

QJsonArray toJson(const QList<CalendarEvent> &events, const QTimeZone &zone)
{
    QJsonArray array;
    for (const CalendarEvent &event : events)
        array.append(toJson(event, zone));
    return array;
}

void printSection(
    QTextStream &out, const QString &heading, const QList<CalendarEvent> &events, const QTimeZone &zone, bool withDay)
{
    out << heading << '\n';
    if (events.isEmpty())
        out << "  " << QCoreApplication::translate("AgendaCommand", "No events") << '\n';
    const QLocale locale;
    for (const CalendarEvent &event : events) {
        out << "  ";
        if (withDay)
            out << locale.toString(
                event.allDay ? event.startDate : event.start.toTimeZone(zone).date(), QStringLiteral("ddd d MMM"))
                << "  ";
        out << EventFormatting::timeText(event, zone) << "  " << EventFormatting::displayTitle(event);
        if (!event.calendarTitle.isEmpty())
            out << "  (" << event.calendarTitle << ')';
        out << '\n';
    }
}

} // namespace

int runAgendaCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Prints the rest of today's events and the coming week's."));
    const QCommandLineOption atOption(QStringLiteral("at"),
        QStringLiteral("Take DATETIME (ISO 8601, local without an offset) as now."), QStringLiteral("DATETIME"));
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print JSON."));
    parser.addOption(atOption);
    parser.addOption(jsonOption);
    const QString usage = QStringLiteral("usage: brivane agenda [--at DATETIME] [--json]\n");
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        err << parser.errorText() << (parser.errorText().isEmpty() ? "" : "\n") << usage;
        return 2;
    }

    const std::unique_ptr<Clock> clock = clockForCommand(parser.value(atOption), parser.isSet(atOption));
    if (!clock) {
        err << "brivane agenda: not an ISO 8601 date and time: " << parser.value(atOption) << '\n' << usage;
        return 2;
    }

    AppSettings &settings = AppSettings::shared();
    std::unique_ptr<CalendarStore> store = createCalendarStore(settings, *clock);
    store->waitUntilLoaded();
    const auto lists = CalendarEventManager::query(*store, settings.hiddenCalendarIDs(), clock->now());
    const QTimeZone zone = clock->timeZone();

    if (parser.isSet(jsonOption)) {
        QJsonObject root;
        root[QStringLiteral("today")] = toJson(lists.today, zone);
        root[QStringLiteral("upcoming")] = toJson(lists.upcoming, zone);
        out << QJsonDocument(root).toJson(QJsonDocument::Indented);
    } else {
        printSection(out, QCoreApplication::translate("AgendaCommand", "Today"), lists.today, zone, false);
        printSection(out, QCoreApplication::translate("AgendaCommand", "Upcoming"), lists.upcoming, zone, true);
    }
    return 0;
}
