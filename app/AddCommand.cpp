// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AddCommand.h"

#include "app/CommandSupport.h"
#include "app/StoreSetup.h"
#include "app/ZohoServices.h"
#include "calendar/EventCreation.h"
#include "settings/AppSettings.h"
#include "zoho/ZohoProvider.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>

#include <algorithm>

namespace {

const char *const Usage
    = "usage: brivane add TITLE --start DATETIME [--end DATETIME] [--all-day] [--calendar NAME-OR-ID]\n"
      "       (with --all-day, --start and --end are dates, and --end is the last day)\n";

// A date for --all-day: "2026-03-25", or the date of a DATETIME.
std::optional<QDateTime> parseDay(const QString &text, const QTimeZone &zone)
{
    const QDate day = QDate::fromString(text, Qt::ISODate);
    if (day.isValid())
        return QDateTime(day, QTime(0, 0), zone);
    if (const std::optional<QDateTime> moment = parseCommandDateTime(text, zone))
        return QDateTime(moment->date(), QTime(0, 0), zone);
    return std::nullopt;
}

QString titleOf(const CalendarTarget &target)
{
    return target.calendar().title;
}

QString idOf(const CalendarTarget &target)
{
    return target.calendar().identifier;
}

// The target named by --calendar: by id; else by the name the form lists it
// by ("Personal — On This Computer"), by its title, then the same in any
// case. A name that fits several is no answer: they go to `several`.
std::optional<CalendarTarget> findTarget(
    const QList<CalendarTarget> &targets, const QStringList &names, const QString &wanted, QList<qsizetype> *several)
{
    for (const CalendarTarget &target : targets) {
        // Zoho's calendars also by Zoho's own id, as Zoho shows it.
        if (idOf(target) == wanted || (target.isZoho() && ZohoProvider::zohoCalendarId(idOf(target)) == wanted))
            return target;
    }
    const std::function<bool(qsizetype)> passes[] = {
        [&](qsizetype i) { return names.value(i) == wanted; },
        [&](qsizetype i) { return titleOf(targets[i]) == wanted; },
        [&](qsizetype i) { return names.value(i).compare(wanted, Qt::CaseInsensitive) == 0; },
        [&](qsizetype i) { return titleOf(targets[i]).compare(wanted, Qt::CaseInsensitive) == 0; },
    };
    for (const std::function<bool(qsizetype)> &fits : passes) {
        QList<qsizetype> found;
        for (qsizetype i = 0; i < targets.size(); ++i) {
            if (fits(i))
                found.append(i);
        }
        if (found.size() == 1)
            return targets[found.first()];
        if (found.size() > 1) {
            if (several)
                *several = found;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

int badArguments(QTextStream &err, const QString &reason)
{
    err << "brivane add: " << reason << '\n' << Usage;
    return 2;
}

} // namespace

int runAddCommand(const QStringList &arguments, QTextStream &out, QTextStream &err, CalendarStore &store,
    const Clock &clock, const std::function<bool()> &loadZoho)
{
    QCommandLineParser parser;
    const QCommandLineOption startOption(
        QStringLiteral("start"), QStringLiteral("When it starts."), QStringLiteral("DATETIME"));
    const QCommandLineOption endOption(
        QStringLiteral("end"), QStringLiteral("When it ends."), QStringLiteral("DATETIME"));
    const QCommandLineOption allDayOption(QStringLiteral("all-day"), QStringLiteral("An all-day event."));
    const QCommandLineOption calendarOption(
        QStringLiteral("calendar"), QStringLiteral("The calendar, by name or id."), QStringLiteral("NAME-OR-ID"));
    parser.addOptions({startOption, endOption, allDayOption, calendarOption});
    if (!parser.parse(arguments))
        return badArguments(err, parser.errorText());

    const QString title = parser.positionalArguments().join(QLatin1Char(' '));
    if (!EventCreation::canSave(title))
        return badArguments(err, QStringLiteral("the event needs a title"));
    // iCalendar allows no control character in a title but the tab; a line
    // break or an escape would reach every panel and terminal that shows it.
    if (std::any_of(title.begin(), title.end(),
            [](QChar c) { return c != QLatin1Char('\t') && c.category() == QChar::Other_Control; }))
        return badArguments(err,
            QCoreApplication::translate("AddCommand",
                "the title holds a control character (a line break, an escape, …); only tabs are allowed"));
    if (!parser.isSet(startOption))
        return badArguments(err, QStringLiteral("--start is missing"));

    const bool allDay = parser.isSet(allDayOption);
    const QTimeZone zone = clock.timeZone();
    auto parse = [&](const QString &text) { return allDay ? parseDay(text, zone) : parseCommandDateTime(text, zone); };
    const std::optional<QDateTime> start = parse(parser.value(startOption));
    if (!start)
        return badArguments(err,
            QStringLiteral("not a %1: %2")
                .arg(allDay ? QStringLiteral("date") : QStringLiteral("date and time"), parser.value(startOption)));
    // Without --end, what the form proposes: one hour; for all-day, the one day.
    QDateTime end = allDay ? *start : start->addSecs(3600);
    if (parser.isSet(endOption)) {
        const std::optional<QDateTime> given = parse(parser.value(endOption));
        if (!given)
            return badArguments(err,
                QStringLiteral("not a %1: %2")
                    .arg(allDay ? QStringLiteral("date") : QStringLiteral("date and time"), parser.value(endOption)));
        end = *given;
    }
    if (end < *start)
        return badArguments(err, QStringLiteral("--end comes before --start"));
    if (const QString problem = storableRangeProblem(*start, end, allDay); !problem.isEmpty())
        return badArguments(err, problem);

    // Zoho's calendars are read only when one of them may be the target.
    QList<CalendarTarget> targets = EventCreation::targets(store);
    const QString wanted = parser.value(calendarOption);
    QList<qsizetype> several;
    const bool needsZoho = parser.isSet(calendarOption)
        ? !findTarget(targets, EventCreation::targetNames(store, targets), wanted, &several) && several.isEmpty()
        : targets.isEmpty();
    if (needsZoho && loadZoho && loadZoho())
        targets = EventCreation::targets(store);

    std::optional<CalendarTarget> target;
    if (parser.isSet(calendarOption)) {
        const QStringList names = EventCreation::targetNames(store, targets);
        several.clear();
        target = findTarget(targets, names, wanted, &several);
        if (!several.isEmpty()) {
            err << "brivane add: "
                << QCoreApplication::translate("AddCommand", "several calendars are called \"%1\"; name one of them:")
                       .arg(wanted)
                << '\n';
            for (const qsizetype i : std::as_const(several))
                err << "  " << names[i] << "  (" << idOf(targets[i]) << ")\n";
            return 2;
        }
        if (!target) {
            const QList<CalendarInfo> calendars = store.calendars();
            const bool readOnly = std::any_of(calendars.begin(), calendars.end(),
                [&](const CalendarInfo &c) { return c.identifier == wanted || c.title == wanted; });
            err << "brivane add: "
                << (readOnly ? QStringLiteral("the calendar \"%1\" is read-only").arg(wanted)
                             : QStringLiteral("no calendar is called \"%1\"").arg(wanted))
                << '\n';
            return 1;
        }
    } else {
        target = EventCreation::preselectedTarget(store, targets);
    }

    EventCreation::Draft draft {title, *start, end, allDay};
    std::optional<EventCreation::Result> result;
    QEventLoop loop;
    EventCreation::save(draft, target, store, [&](const EventCreation::Result &answer) {
        result = answer;
        loop.quit();
    });
    if (!result)
        loop.exec();
    if (!result->ok) {
        err << "brivane add: " << result->error << '\n';
        return 1;
    }
    out << result->eventId << '\n';
    return 0;
}

int runAddCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    SystemClock clock;
    AppSettings &settings = AppSettings::shared();
    std::unique_ptr<CalendarStore> store = createCalendarStore(settings, clock, StoreUse::AnswersOnce);
    store->waitUntilLoaded();
    auto loadZoho = [&store] {
        ZohoServices &services = ZohoServices::shared();
        if (!services.auth().isConnected())
            return false;
        QEventLoop loop;
        services.calendars().sync([&loop] { loop.quit(); });
        loop.exec();
        services.addProviderTo(*store);
        return true;
    };
    return runAddCommand(arguments, out, err, *store, clock, loadZoho);
}
