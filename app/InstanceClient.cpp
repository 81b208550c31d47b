// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/InstanceClient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QLocale>
#include <QStandardPaths>
#include <QTimeZone>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace InstanceClient {

namespace {

// A folder of the temporary folder is used only when it is this user's alone:
// anyone may make one of that name first, link it elsewhere, or listen in it.
bool isPrivateFolder(const QByteArray &path)
{
    struct stat info = {};
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()
        && (info.st_mode & 077) == 0;
}

} // namespace

QString socketPath()
{
    // Qt checks its runtime folder (ours, 0700) and, where the environment
    // names none, makes one in the temporary folder with the same checks.
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) {
        runtime = QDir::tempPath() + QStringLiteral("/brivane-") + QString::number(::geteuid());
        const QByteArray encoded = QFile::encodeName(runtime);
        if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST)
            return {};
        if (!isPrivateFolder(encoded))
            return {};
    }
    return runtime + QStringLiteral("/brivane.socket");
}

QString calendarRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/brivane/calendars");
}

QString settingsFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/brivane/brivane.conf");
}

QJsonObject context()
{
    return QJsonObject {
        {QStringLiteral("zone"), QString::fromUtf8(QTimeZone::systemTimeZoneId())},
        {QStringLiteral("locale"), QLocale().name()},
        {QStringLiteral("calendars"), calendarRoot()},
        {QStringLiteral("settings"), settingsFilePath()},
    };
}

QByteArray questionFor(const QString &command, const QStringList &arguments)
{
    return QJsonDocument(QJsonObject {{QStringLiteral("command"), command},
                             {QStringLiteral("arguments"), QJsonArray::fromStringList(arguments)},
                             {QStringLiteral("context"), context()}})
        .toJson(QJsonDocument::Compact);
}

std::optional<QByteArray> request(const QString &socketPath, const QByteArray &question, int timeoutMs)
{
    if (socketPath.isEmpty() || question.contains('\n') || question.size() + QuestionPrefix.size() > MaxLineLength)
        return std::nullopt;
    const QDeadlineTimer deadline(timeoutMs);
    auto remaining = [&deadline] { return int(qMax<qint64>(1, deadline.remainingTime())); };
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(remaining()))
        return std::nullopt;
    socket.write(QuestionPrefix.toByteArray() + question + '\n');
    if (!socket.waitForBytesWritten(remaining()))
        return std::nullopt;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(remaining()))
            return std::nullopt;
    }
    const QByteArray head = socket.readLine(64).trimmed();
    if (!head.startsWith("answer "))
        return std::nullopt;
    bool ok = false;
    const qint64 size = head.mid(7).toLongLong(&ok);
    if (!ok || size < 0)
        return std::nullopt;
    QByteArray answer;
    while (answer.size() < size) {
        if (socket.bytesAvailable() == 0 && (deadline.hasExpired() || !socket.waitForReadyRead(remaining())))
            return std::nullopt;
        answer += socket.read(size - answer.size());
    }
    return answer;
}

FollowEnd follow(const QString &socketPath, const QString &command, const QStringList &arguments,
    const std::function<bool(const QByteArray &answer)> &onAnswer, int timeoutMs)
{
    const QByteArray question = questionFor(command, arguments);
    if (question.contains('\n') || question.size() + FollowPrefix.size() > MaxLineLength)
        return FollowEnd::NotFollowed;
    const QDeadlineTimer deadline(timeoutMs);
    auto remaining = [&deadline] { return int(qMax<qint64>(1, deadline.remainingTime())); };
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(remaining()))
        return FollowEnd::NotFollowed;
    socket.write(FollowPrefix.toByteArray() + question + '\n');
    if (!socket.waitForBytesWritten(remaining()))
        return FollowEnd::NotFollowed;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(remaining()))
            return FollowEnd::NotFollowed;
    }
    if (socket.readLine(64).trimmed() != "following")
        return FollowEnd::NotFollowed;
    // From here on the answers come when the title changes: no deadline.
    for (;;) {
        while (!socket.canReadLine()) {
            if (!socket.waitForReadyRead(-1))
                return FollowEnd::InstanceGone;
        }
        const QByteArray head = socket.readLine(64).trimmed();
        bool ok = false;
        const qint64 size = head.startsWith("answer ") ? head.mid(7).toLongLong(&ok) : -1;
        if (!ok || size < 0 || size > MaxAnswerSize)
            return FollowEnd::InstanceGone;
        QByteArray answer;
        while (answer.size() < size) {
            if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(-1))
                return FollowEnd::InstanceGone;
            answer += socket.read(size - answer.size());
        }
        if (!onAnswer(answer))
            return FollowEnd::StoppedByCaller;
    }
}

std::optional<QByteArray> ask(
    const QString &socketPath, const QString &command, const QStringList &arguments, int timeoutMs)
{
    return request(socketPath, questionFor(command, arguments), timeoutMs);
}

} // namespace InstanceClient
