#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>

class CalendarStore;

// `brivane agenda` and `brivane status` ask the running instance first: it has
// every calendar loaded and answers in milliseconds. The answer is the
// command's own output, made by the same code from the same calendars; when
// the instance cannot give exactly that (it is still loading, it sees
// another time zone, locale or set of folders, Zoho would have to be asked)
// it declines and the command loads the calendars itself.
namespace InstanceAnswers {

// How long a command waits for the instance before loading by itself.
constexpr int AskTimeoutMs = 500;

// The question for `command` ("agenda" or "status") with its arguments,
// carrying what the answer depends on besides them.
QByteArray questionFor(const QString &command, const QStringList &arguments);

// The command's output from the running instance, or nothing.
std::optional<QByteArray> ask(
    const QString &socketPath, const QString &command, const QStringList &arguments, int timeoutMs = AskTimeoutMs);

// The instance's side: the output for `question` from its loaded `store`, or
// nothing to decline.
std::optional<QByteArray> answer(const QByteArray &question, const CalendarStore &store, bool zohoConnected);

} // namespace InstanceAnswers
