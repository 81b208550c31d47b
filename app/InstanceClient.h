// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QStringList>

#include <functional>
#include <optional>

// What a short-lived command needs to reach the running instance, and no
// more: it links Qt Core and Qt Network only, so the small `brivane`
// launcher can ask before the whole program (Qt Quick, the desktop's
// calendar libraries) is loaded.
namespace InstanceClient {

// A line longer than this is not a command: the instance drops the connection.
constexpr qsizetype MaxLineLength = 1024;
// A question starts with this; the reply is "answer <bytes>\n" and the
// answer, or "declined\n".
constexpr QByteArrayView QuestionPrefix = "ask ";
// A subscription starts with this: the reply is "following\n", then
// "answer <bytes>\n" and the answer whenever it changes, or "declined\n".
constexpr QByteArrayView FollowPrefix = "follow ";
// The longest answer a command takes.
constexpr qint64 MaxAnswerSize = 64 * 1024 * 1024;
// How long a command waits for the instance before loading by itself.
constexpr int AskTimeoutMs = 500;

// Where the running instance listens ($XDG_RUNTIME_DIR/brivane.socket, or a
// private folder of the temporary folder where that is not set). Empty where
// no folder of this user's alone can be had: then no instance is asked and
// none listens.
QString socketPath();
// The calendar folders' root ($XDG_DATA_HOME/brivane/calendars).
QString calendarRoot();
// The settings file ($XDG_CONFIG_HOME/brivane/brivane.conf).
QString settingsFilePath();

// What, besides its arguments, a command's output depends on. A command run
// with another time zone, locale, calendar folder or settings file (a test,
// a script with TZ set) must not get the instance's answer.
QJsonObject context();

// The question for `command` ("agenda" or "status") with its arguments,
// carrying the context.
QByteArray questionFor(const QString &command, const QStringList &arguments);

// Sends `question` to the instance at `socketPath` and returns its answer,
// or nothing when there is no instance, it declines, or it does not answer
// within `timeoutMs`.
std::optional<QByteArray> request(const QString &socketPath, const QByteArray &question, int timeoutMs);

// How a subscription ended.
enum class FollowEnd {
    NotFollowed, // no instance, it declined, or it did not reply in time
    InstanceGone, // the instance quit (or stopped following) after taking the subscription
    StoppedByCaller, // `onAnswer` returned false
};

// Follows the instance's answers to `command` with its arguments (`status
// --follow`): `onAnswer` gets the first and every one after it that
// differs, for as long as the instance runs; it returns false to stop. The
// instance has to take the subscription within `timeoutMs`; after that the
// call waits for as long as the answers keep coming.
FollowEnd follow(const QString &socketPath, const QString &command, const QStringList &arguments,
    const std::function<bool(const QByteArray &answer)> &onAnswer, int timeoutMs = AskTimeoutMs);

// The command's output from the running instance, or nothing.
std::optional<QByteArray> ask(
    const QString &socketPath, const QString &command, const QStringList &arguments, int timeoutMs = AskTimeoutMs);

} // namespace InstanceClient
