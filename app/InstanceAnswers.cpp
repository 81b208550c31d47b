// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InstanceAnswers.h"

#include "app/AgendaCommand.h"
#include "app/CommandSupport.h"
#include "app/InstanceClient.h"
#include "app/StatusCommand.h"
#include "calendar/CalendarStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QTimeZone>

namespace InstanceAnswers {
namespace {

// The days a command looks at from its moment: the agenda's coming week and
// the title's tomorrow, with a day to spare on either side.
constexpr int AskedDays = 9;

// The moment of `--at`, when the question names one that can be read (one
// that cannot is left to the command, which says why).
std::optional<QDateTime> askedMoment(const QStringList &arguments)
{
    const QTimeZone zone = QTimeZone::systemTimeZone();
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString value;
        if (arguments[i] == QLatin1String("--at") && i + 1 < arguments.size())
            value = arguments[i + 1];
        else if (arguments[i].startsWith(QLatin1String("--at=")))
            value = arguments[i].mid(5);
        else
            continue;
        const QDateTime moment = momentFromOption(value, zone);
        if (moment.isValid())
            return moment.toTimeZone(zone);
    }
    return std::nullopt;
}

struct Question
{
    QString command;
    QStringList arguments;
};

// The question when it was asked in this instance's context.
std::optional<Question> readQuestion(const QByteArray &question)
{
    const QJsonObject asked = QJsonDocument::fromJson(question).object();
    if (asked.value(QStringLiteral("context")).toObject() != InstanceClient::context())
        return std::nullopt;
    Question result {asked.value(QStringLiteral("command")).toString(), {}};
    for (const QJsonValue &argument : asked.value(QStringLiteral("arguments")).toArray()) {
        if (!argument.isString())
            return std::nullopt;
        result.arguments.append(argument.toString());
    }
    return result;
}

} // namespace

std::optional<QByteArray> answer(const QByteArray &question, CalendarStore &store, Zoho zoho)
{
    const std::optional<Question> asked = readQuestion(question);
    if (!asked || !store.isLoaded())
        return std::nullopt;
    const QStringList &arguments = asked->arguments;
    const QString &command = asked->command;
    // Zoho's events are those of the week from the last sync: another moment
    // is the command's to ask Zoho about.
    const bool answersAgenda = zoho == Zoho::NotConnected || (zoho == Zoho::Held && !askedMoment(arguments));
    // A question about a day far from today would make the instance expand
    // every repeating event there, holding up the tray for longer than the
    // command takes alone: declined at once.
    if (const std::optional<QDateTime> moment = askedMoment(arguments)) {
        const QDateTime dayStart(moment->date(), QTime(0, 0), moment->timeZone());
        if (!store.answersAtOnce(dayStart.addDays(-1), dayStart.addDays(AskedDays)))
            return std::nullopt;
    }
    store.takeInPendingChanges();
    QString output;
    QTextStream out(&output);
    bool answered = false;
    if (command == QLatin1String("status"))
        answered = answerStatusCommand(arguments, store, out);
    else if (command == QLatin1String("agenda") && answersAgenda)
        answered = answerAgendaCommand(arguments, store, out);
    if (!answered)
        return std::nullopt;
    out.flush();
    return output.toUtf8();
}

std::optional<QByteArray> followed(const QByteArray &question, const CalendarStore &store)
{
    const std::optional<Question> asked = readQuestion(question);
    if (!asked || asked->command != QLatin1String("status"))
        return std::nullopt;
    QString output;
    QTextStream out(&output);
    if (!answerFollowingStatusCommand(asked->arguments, store, out))
        return std::nullopt;
    out.flush();
    return output.toUtf8();
}

} // namespace InstanceAnswers
