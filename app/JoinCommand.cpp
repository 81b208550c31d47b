// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/JoinCommand.h"

#include "app/CommandSupport.h"
#include "app/StoreSetup.h"
#include "calendar/CalendarEventManager.h"
#include "calendar/EventFormatting.h"
#include "calendar/MeetingLinks.h"
#include "settings/AppSettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QProcess>
#include <QTextStream>

namespace {

// The desktop's URL handler, without a GUI application object: the command
// line runs on a core one.
bool openWithDesktop(const QUrl &url)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

// The command's clock (the system's, or `--at`), or null on bad arguments.
std::unique_ptr<Clock> parseJoinArguments(const QStringList &arguments, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption atOption(
        QStringLiteral("at"), QStringLiteral("Take DATETIME as now."), QStringLiteral("DATETIME"));
    parser.addOption(atOption);
    const QString usage = QStringLiteral("usage: brivane join [--at DATETIME]\n");
    return parseCommandLine(parser, arguments, atOption, QStringLiteral("join"), usage, err);
}

int join(const Clock &clock, QTextStream &out, QTextStream &err, const CalendarStore &store,
    const QSet<QString> &hiddenCalendarIds, const UrlOpener &open)
{
    const std::optional<MeetingLinks::MeetingToJoin> meeting = MeetingLinks::meetingToJoin(
        store, CalendarEventManager::visibleCalendarIds(store, hiddenCalendarIds), clock.now());
    if (!meeting) {
        err << QCoreApplication::translate("JoinCommand", "No meeting to join") << '\n';
        return 1;
    }
    out << EventFormatting::oneLineTitle(meeting->event.title) << '\n'
        << meeting->link.toString(QUrl::FullyEncoded) << '\n';
    out.flush();
    if (!open(meeting->link)) {
        err << "brivane join: "
            << QCoreApplication::translate("JoinCommand", "the link could not be opened (is xdg-open installed?)")
            << '\n';
        return 1;
    }
    return 0;
}

} // namespace

int runJoinCommand(const QStringList &arguments, QTextStream &out, QTextStream &err, const CalendarStore &store,
    const QSet<QString> &hiddenCalendarIds, const UrlOpener &open)
{
    const std::unique_ptr<Clock> clock = parseJoinArguments(arguments, err);
    return clock ? join(*clock, out, err, store, hiddenCalendarIds, open) : 2;
}

int runJoinCommand(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const std::unique_ptr<Clock> clock = parseJoinArguments(arguments, err);
    if (!clock)
        return 2;
    std::unique_ptr<CalendarStore> store = createCalendarStore(AppSettings::shared(), *clock, StoreUse::AnswersOnce);
    store->waitUntilLoaded();
    const int status = join(*clock, out, err, *store, AppSettings::shared().hiddenCalendarIds(), openWithDesktop);
    store->finishBackgroundWork();
    return status;
}
