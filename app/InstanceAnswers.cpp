#include "app/InstanceAnswers.h"

#include "app/AgendaCommand.h"
#include "app/SingleInstance.h"
#include "app/StatusCommand.h"
#include "app/StoreSetup.h"
#include "calendar/CalendarStore.h"
#include "settings/AppSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTextStream>
#include <QTimeZone>

namespace InstanceAnswers {
namespace {

// What, besides its arguments, a command's output depends on. A command run
// with another time zone, locale, calendar folder or settings file (a test,
// a script with TZ set) must not get the instance's answer.
QJsonObject context()
{
    return QJsonObject {
        {QStringLiteral("zone"), QString::fromUtf8(QTimeZone::systemTimeZoneId())},
        {QStringLiteral("locale"), QLocale().name()},
        {QStringLiteral("calendars"), defaultCalendarRoot()},
        {QStringLiteral("settings"), AppSettings::defaultFilePath()},
    };
}

} // namespace

QByteArray questionFor(const QString &command, const QStringList &arguments)
{
    return QJsonDocument(QJsonObject {{QStringLiteral("command"), command},
                             {QStringLiteral("arguments"), QJsonArray::fromStringList(arguments)},
                             {QStringLiteral("context"), context()}})
        .toJson(QJsonDocument::Compact);
}

std::optional<QByteArray> ask(
    const QString &socketPath, const QString &command, const QStringList &arguments, int timeoutMs)
{
    return SingleInstance::request(socketPath, questionFor(command, arguments), timeoutMs);
}

std::optional<QByteArray> answer(const QByteArray &question, const CalendarStore &store, bool zohoConnected)
{
    const QJsonObject asked = QJsonDocument::fromJson(question).object();
    if (asked.value(QStringLiteral("context")).toObject() != context() || !store.isLoaded())
        return std::nullopt;
    QStringList arguments;
    for (const QJsonValue &argument : asked.value(QStringLiteral("arguments")).toArray()) {
        if (!argument.isString())
            return std::nullopt;
        arguments.append(argument.toString());
    }
    const QString command = asked.value(QStringLiteral("command")).toString();
    QString output;
    QTextStream out(&output);
    bool answered = false;
    if (command == QLatin1String("status"))
        answered = answerStatusCommand(arguments, store, out);
    else if (command == QLatin1String("agenda") && !zohoConnected)
        answered = answerAgendaCommand(arguments, store, out);
    if (!answered)
        return std::nullopt;
    out.flush();
    return output.toUtf8();
}

} // namespace InstanceAnswers
