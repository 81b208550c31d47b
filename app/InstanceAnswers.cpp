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

std::optional<QByteArray> answer(const QByteArray &question, const CalendarStore &store, bool zohoConnected)
{
    const QJsonObject asked = QJsonDocument::fromJson(question).object();
    if (asked.value(QStringLiteral("context")).toObject() != InstanceClient::context() || !store.isLoaded())
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
