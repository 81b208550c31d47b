#include "app/InstanceAnswers.h"

#include "app/AgendaCommand.h"
#include "app/InstanceClient.h"
#include "app/StatusCommand.h"
#include "calendar/CalendarStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace InstanceAnswers {

namespace {

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

std::optional<QByteArray> answer(const QByteArray &question, CalendarStore &store, bool zohoConnected)
{
    const std::optional<Question> asked = readQuestion(question);
    if (!asked || !store.isLoaded())
        return std::nullopt;
    const QStringList &arguments = asked->arguments;
    const QString &command = asked->command;
    store.takeInPendingChanges();
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
