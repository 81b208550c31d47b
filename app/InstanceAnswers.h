// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>

class CalendarStore;

// `brivane agenda` and `brivane status` ask the running instance first (see
// InstanceClient): it has every calendar loaded and answers in milliseconds.
// The answer is the command's own output, made by the same code from the
// same calendars; when the instance cannot give exactly that (it is still
// loading, it sees another time zone, locale or set of folders, Zoho would
// would have to be asked about another moment) it declines and the command loads the calendars itself.
namespace InstanceAnswers {

// The instance's side: the output for `question` from its loaded `store`, or
// nothing to decline. The store first takes in the changes to its calendars
// made before the question (a `brivane add` just done), so that the answer
// is never older than the question.
// `zoho`: what the instance holds of Zoho. An agenda is answered from the
// last sync, but not for another moment (`--at`), nor before the instance
// knows whether Zoho is connected.
enum class Zoho { NotConnected, Held, NotYetKnown };
std::optional<QByteArray> answer(const QByteArray &question, CalendarStore &store, Zoho zoho);

// For a follower (`brivane status --follow`, see InstanceClient::follow):
// the output now, empty while the calendars are still loading; nothing to
// decline (another context, another command).
std::optional<QByteArray> followed(const QByteArray &question, const CalendarStore &store);

} // namespace InstanceAnswers
