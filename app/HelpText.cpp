// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HelpText.h"

#include "app/Translations.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <iterator>

namespace HelpText {
namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("HelpText", text);
}

const char *const Commands[] = {"agenda", "status", "add", "delete", "join", "zoho"};

QString usageLines()
{
    return tr("usage: brivane [--toggle | --settings]\n"
              "       brivane agenda [--at DATETIME] [--json] [--all]\n"
              "       brivane add TITLE --start DATETIME [--end DATETIME] [--all-day] [--calendar NAME-OR-ID]\n"
              "       brivane delete ID\n"
              "       brivane join [--at DATETIME]\n"
              "       brivane status [--json] [--follow] [--at DATETIME]\n"
              "       brivane zoho connect CODE | disconnect | status | sync\n"
              "       brivane --help | --version\n");
}

QString commandSection(const QString &command)
{
    if (command == QLatin1String("agenda"))
        return tr("  agenda              Print the rest of today's events and the coming week's:\n"
                  "                      the first ten of each list, and how many more there are.\n"
                  "    --at DATETIME     Take DATETIME as now.\n"
                  "    --json            Print JSON: each event's id, title, start, end, allDay,\n"
                  "                      calendar, calendarId, source, color and meetingUrl (and\n"
                  "                      lastDay for all-day events), and \"more\".\n"
                  "    --all             List every event, not only the first ten of each list.\n");
    if (command == QLatin1String("status"))
        return tr("  status              Print the status title: the next event of today or\n"
                  "                      tomorrow with its countdown, or the date.\n"
                  "    --json            Print {\"text\", \"tooltip\", \"class\"}; class is \"event\",\n"
                  "                      \"running\" or \"idle\".\n"
                  "    --follow          Keep running and print a new line whenever the title\n"
                  "                      changes.\n"
                  "    --at DATETIME     Take DATETIME as now.\n");
    if (command == QLatin1String("add"))
        return tr("  add TITLE           Write a new event and print its id.\n"
                  "    --start DATETIME  When it starts (required).\n"
                  "    --end DATETIME    When it ends (without it: an hour after the start).\n"
                  "    --all-day         An all-day event: --start and --end are dates, and\n"
                  "                      --end is the last day.\n"
                  "    --calendar NAME-OR-ID\n"
                  "                      The calendar, by name, by name with its account or by\n"
                  "                      id (without it: the calendar the new-event form proposes).\n");
    if (command == QLatin1String("delete"))
        return tr("  delete ID           Delete the event with that id (as `brivane agenda --json`\n"
                  "                      shows it); of a repeating event only that occurrence.\n");
    if (command == QLatin1String("join"))
        return tr("  join                Open the meeting link of the event under way or starting\n"
                  "                      within 15 minutes, and print its title and the link.\n"
                  "    --at DATETIME     Take DATETIME as now.\n");
    if (command == QLatin1String("zoho"))
        return tr("  zoho connect CODE   Connect Zoho Calendar with a one-time code made in Zoho's\n"
                  "                      API console.\n"
                  "  zoho disconnect     End the connection to Zoho.\n"
                  "  zoho status         Print whether Zoho is connected, its calendars and how\n"
                  "                      the last sync ended.\n"
                  "  zoho sync           Read Zoho's events now and print how many there are.\n");
    return {};
}

QString dateTimeNote()
{
    return tr("DATETIME is ISO 8601, such as 2026-12-10T14:30 (local time) or\n"
              "2026-12-10T14:30+01:00.\n");
}

QString exitStatuses()
{
    return tr("Exit status:\n"
              "  0    Success.\n"
              "  1    The command failed: an event could not be written or deleted, the\n"
              "       calendar named is read-only or not there, Zoho failed or is not\n"
              "       connected (zoho sync), there is no meeting to join (join), or a\n"
              "       running brivane does not answer.\n"
              "  2    A bad argument: an unknown command or option, a date that is no\n"
              "       date or lies outside 1900-01-01 to 2999-12-31, a --calendar that\n"
              "       names several calendars, an id that names no event.\n"
              "  127  brivane-app, the program that does the rest, could not be started.\n");
}

} // namespace

QString full()
{
    QString text = usageLines();
    text += QLatin1Char('\n');
    text += tr("A calendar for the desktop's panel. Without a command, brivane starts in the\n"
               "tray; when it runs already, the running one opens or closes its popover.\n");
    text += QLatin1Char('\n');
    text += tr("Options:\n"
               "  --toggle            Open or close the running brivane's popover (start\n"
               "                      brivane when none runs).\n"
               "  --settings          Open the settings window (start brivane when none runs).\n"
               "  -h, --help          Print this help, or with a command that command's, and\n"
               "                      exit.\n"
               "  --version           Print the version and exit.\n");
    text += QLatin1Char('\n');
    text += tr("Commands:\n");
    for (const char *command : Commands)
        text += commandSection(QLatin1String(command));
    text += QLatin1Char('\n');
    text += dateTimeNote();
    text += QLatin1Char('\n');
    text += exitStatuses();
    return text;
}

QString usage()
{
    return usageLines();
}

QString forCommand(const QString &command)
{
    const QString section = commandSection(command);
    if (section.isEmpty())
        return {};
    // The command's own lines of the usage.
    QString usage;
    const QString prefix = QStringLiteral("brivane ") + command;
    for (const QString &line : usageLines().split(QLatin1Char('\n'))) {
        const QString form = line.mid(line.indexOf(QLatin1String("brivane")));
        if (form.startsWith(prefix))
            usage += (usage.isEmpty() ? QStringLiteral("usage: ") : QStringLiteral("       ")) + form + QLatin1Char('\n');
    }
    return usage + QLatin1Char('\n') + section + QLatin1Char('\n') + dateTimeNote() + QLatin1Char('\n')
        + exitStatuses();
}

QString version()
{
    return QStringLiteral("brivane ") + QStringLiteral(BRIVANE_VERSION);
}

std::optional<QString> answerFor(int argc, const char *const *argv)
{
    if (argc < 2)
        return std::nullopt;
    const auto isHelp = [](const QByteArray &argument) { return argument == "--help" || argument == "-h"; };
    const QByteArray first(argv[1]);
    if (first == "--version")
        return version() + QLatin1Char('\n');
    bool asked = isHelp(first);
    if (!asked && std::find(std::begin(Commands), std::end(Commands), first) != std::end(Commands)) {
        for (int i = 2; i < argc && !asked; ++i) {
            const QByteArray argument(argv[i]);
            if (argument == "--")
                break;
            asked = isHelp(argument);
        }
    }
    if (!asked)
        return std::nullopt;
    // The help speaks the user's language, whose catalogue needs an
    // application object; the callers make theirs only after this.
    static int applicationArgc = 1;
    char applicationName[] = "brivane";
    char *applicationArgv[] = {applicationName, nullptr};
    std::optional<QCoreApplication> application;
    if (!QCoreApplication::instance()) {
        application.emplace(applicationArgc, applicationArgv);
        installTranslations();
    }
    return isHelp(first) ? full() : forCommand(QString::fromLatin1(first));
}

} // namespace HelpText
