// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StatusCommand.h"

#include "app/CommandSupport.h"
#include "app/StoreSetup.h"
#include "calendar/StatusTitle.h"
#include "settings/AppSettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QTimer>

namespace {

constexpr int RecheckIntervalMs = 30000;

QString render(const StatusTitle &title, bool json)
{
    if (!json)
        return title.plainText();
    QJsonObject object;
    object[QStringLiteral("text")] = title.plainText();
    object[QStringLiteral("tooltip")] = title.nextEvents.join(QLatin1Char('\n'));
    object[QStringLiteral("class")] = title.stateClass();
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

struct StatusArguments
{
    std::unique_ptr<Clock> clock; // null on bad arguments
    bool json = false;
    bool follow = false;
};

StatusArguments parseStatusArguments(const QStringList &arguments, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption atOption(
        QStringLiteral("at"), QStringLiteral("Take DATETIME as now."), QStringLiteral("DATETIME"));
    const QCommandLineOption jsonOption(
        QStringLiteral("json"), QStringLiteral("Print {\"text\",\"tooltip\",\"class\"}."));
    const QCommandLineOption followOption(
        QStringLiteral("follow"), QStringLiteral("Print a new line at every change."));
    parser.addOptions({atOption, jsonOption, followOption});
    const QString usage = QStringLiteral("usage: brivane status [--json] [--follow] [--at DATETIME]\n");
    StatusArguments parsed;
    parsed.clock = parseCommandLine(parser, arguments, atOption, QStringLiteral("status"), usage, err);
    parsed.json = parser.isSet(jsonOption);
    parsed.follow = parser.isSet(followOption);
    return parsed;
}

} // namespace

int runStatusCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const StatusArguments parsed = parseStatusArguments(arguments, err);
    if (!parsed.clock)
        return 2;
    const Clock *clock = parsed.clock.get();
    const bool json = parsed.json;

    std::unique_ptr<CalendarStore> store = createCalendarStore(
        AppSettings::shared(), *clock, parsed.follow ? StoreUse::FollowsChanges : StoreUse::AnswersOnce);
    store->waitUntilLoaded();
    const QSet<QString> hidden = AppSettings::shared().hiddenCalendarIds();
    QString printed = render(StatusTitleBuilder::compute(*store, hidden, clock->now(), QLocale()), json);
    out << printed << Qt::endl;
    if (!parsed.follow) {
        store->finishBackgroundWork();
        (void)store.release(); // the process ends now: the operating system frees it faster
        return 0;
    }

    auto printIfChanged = [&] {
        const QString line = render(StatusTitleBuilder::compute(*store, hidden, clock->now(), QLocale()), json);
        if (line != printed) {
            printed = line;
            out << line << Qt::endl;
        }
    };
    QTimer recheck;
    recheck.setInterval(RecheckIntervalMs);
    QObject::connect(&recheck, &QTimer::timeout, printIfChanged);
    QObject::connect(store.get(), &CalendarStore::changed, printIfChanged);
    recheck.start();
    return QCoreApplication::exec();
}

bool answerStatusCommand(const QStringList &arguments, const CalendarStore &store, QTextStream &out)
{
    QString errors;
    QTextStream err(&errors);
    const StatusArguments parsed = parseStatusArguments(arguments, err);
    if (!parsed.clock || parsed.follow)
        return false;
    out << render(
        StatusTitleBuilder::compute(store, AppSettings::shared().hiddenCalendarIds(), parsed.clock->now(), QLocale()),
        parsed.json)
        << Qt::endl;
    return true;
}

bool answerFollowingStatusCommand(const QStringList &arguments, const CalendarStore &store, QTextStream &out)
{
    QString errors;
    QTextStream err(&errors);
    const StatusArguments parsed = parseStatusArguments(arguments, err);
    if (!parsed.clock || !parsed.follow)
        return false;
    if (store.isLoaded())
        out << render(StatusTitleBuilder::compute(
                          store, AppSettings::shared().hiddenCalendarIds(), parsed.clock->now(), QLocale()),
            parsed.json)
            << Qt::endl;
    return true;
}
