// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "brivane.instance")

SingleInstance::Lock::~Lock()
{
    ::close(m_fd); // releases the lock
}

QString SingleInstance::lockPathFor(const QString &socketPath)
{
    return socketPath + QStringLiteral(".lock");
}

std::unique_ptr<SingleInstance::Lock> SingleInstance::tryLock(const QString &socketPath)
{
    if (socketPath.isEmpty())
        return nullptr;
    const QByteArray path = QFile::encodeName(lockPathFor(socketPath));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<Lock>(new Lock(fd));
}

bool SingleInstance::sendToRunning(const QString &socketPath, const QByteArray &command, int timeoutMs)
{
    if (socketPath.isEmpty())
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        // Not there yet (an instance that has its lock but is still starting).
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    socket.write(command + '\n');
    if (!socket.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime()))))
        return false;
    // The reply says the command was taken, so the caller may exit.
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return false;
    }
    return socket.readLine().trimmed() == "ok";
}

SingleInstance::SingleInstance(QString socketPath, std::unique_ptr<Lock> lock, QObject *parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
    , m_lock(std::move(lock))
{ }

SingleInstance::~SingleInstance()
{
    // The clients go first, while the count they keep is still there.
    for (QLocalSocket *client : findChildren<QLocalSocket *>(Qt::FindDirectChildrenOnly)) {
        client->disconnect(this);
        delete client;
    }
    if (m_listenFd >= 0) {
        delete m_acceptNotifier;
        ::close(m_listenFd);
        ::unlink(QFile::encodeName(m_socketPath).constData());
    }
}

bool SingleInstance::listen()
{
    if (!m_lock || m_socketPath.isEmpty() || m_listenFd >= 0)
        return m_listenFd >= 0;
    const QByteArray path = QFile::encodeName(m_socketPath);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ::unlink(path.constData()); // ours: the lock says nobody else serves it
    // For this user alone (the folder is the user's own too).
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0
        || ::chmod(path.constData(), 0600) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        return false;
    }
    m_listenFd = fd;
    m_acceptNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &SingleInstance::acceptPending);
    m_acceptPause = new QTimer(this);
    m_acceptPause->setSingleShot(true);
    m_acceptPause->setInterval(AcceptPauseMs);
    connect(m_acceptPause, &QTimer::timeout, this, [this] {
        m_acceptNotifier->setEnabled(true);
        acceptPending();
    });
    return true;
}

bool SingleInstance::isAcceptPaused() const
{
    return m_acceptPause && m_acceptPause->isActive();
}

void SingleInstance::acceptPending()
{
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // The connection waits in the backlog; accepting again at
                // once would spin. Said once, not at every pause.
                if (!m_toldOfShortage) {
                    // Printed without a stream: with no descriptor left,
                    // nothing that may need one is used here.
                    qCWarning(lcInstance, "too many open files; new connections wait until some close: %s",
                        std::strerror(errno));
                    m_toldOfShortage = true;
                }
                m_acceptNotifier->setEnabled(false);
                m_acceptPause->start();
            }
            return; // EAGAIN: nothing more waiting
        }
        if (m_clients >= MaxClients) {
            ::close(fd);
            continue;
        }
        auto *client = new QLocalSocket(this);
        if (!client->setSocketDescriptor(fd, QLocalSocket::ConnectedState, QIODevice::ReadWrite)) {
            ::close(fd);
            delete client;
            continue;
        }
        ++m_clients;
        connect(client, &QObject::destroyed, this, [this] { --m_clients; });
        serve(client);
    }
}

void SingleInstance::serve(QLocalSocket *client)
{
    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    auto *idle = new QTimer(client);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, client, &QLocalSocket::abort);
    idle->start(ClientIdleTimeoutMs);
    // Read only what a command can be: a client that sends endless bytes is
    // dropped, never buffered.
    client->setReadBufferSize(MaxCommandLength + 1);
    connect(client, &QLocalSocket::readyRead, this, [this, client, idle] {
        while (client->canReadLine()) {
            const QByteArray command = client->readLine(MaxCommandLength + 1).trimmed();
            if (command.startsWith(InstanceClient::FollowPrefix)) {
                idle->stop(); // a follower waits for the answers, however long
                startFollowing(client, command.mid(InstanceClient::FollowPrefix.size()));
                return;
            }
            if (command.startsWith(InstanceClient::QuestionPrefix)) {
                const std::optional<QByteArray> answer = m_requestHandler
                    ? m_requestHandler(command.mid(InstanceClient::QuestionPrefix.size()))
                    : std::nullopt;
                if (answer)
                    client->write("answer " + QByteArray::number(answer->size()) + '\n' + *answer);
                else
                    client->write("declined\n");
                client->flush();
                continue;
            }
            client->write("ok\n");
            client->flush();
            if (command != "ping")
                emit commandReceived(command);
        }
        if (client->bytesAvailable() > MaxCommandLength)
            client->abort();
    });
}

void SingleInstance::startFollowing(QLocalSocket *client, const QByteArray &question)
{
    // A follower only listens: anything more it sends ends the subscription.
    disconnect(client, &QLocalSocket::readyRead, this, nullptr);
    connect(client, &QLocalSocket::readyRead, client, &QLocalSocket::abort);
    if (client->bytesAvailable() > 0) {
        client->abort();
        return;
    }
    const std::optional<QByteArray> first = m_followHandler ? m_followHandler(question) : std::nullopt;
    if (!first) {
        client->write("declined\n");
        client->flush();
        client->disconnectFromServer();
        return;
    }
    client->write("following\n");
    Follower follower {client, question, {}};
    if (sendAnswer(follower, *first))
        m_followers.push_back(std::move(follower));
}

bool SingleInstance::sendAnswer(Follower &follower, const QByteArray &answer)
{
    if (!answer.isEmpty() && answer != follower.lastAnswer) {
        // One that does not read is not buffered for without end.
        if (follower.socket->bytesToWrite() > MaxUnreadByFollower) {
            follower.socket->abort();
            return false;
        }
        follower.socket->write("answer " + QByteArray::number(answer.size()) + '\n' + answer);
        follower.lastAnswer = answer;
    }
    follower.socket->flush();
    return true;
}

void SingleInstance::updateFollowers()
{
    std::erase_if(m_followers, [this](Follower &follower) {
        if (!follower.socket || follower.socket->state() != QLocalSocket::ConnectedState)
            return true;
        const std::optional<QByteArray> answer = m_followHandler ? m_followHandler(follower.question) : std::nullopt;
        if (!answer) {
            // No longer answered alike: the command goes on by itself.
            follower.socket->disconnectFromServer();
            return true;
        }
        return !sendAnswer(follower, *answer);
    });
}

qsizetype SingleInstance::followerCount() const
{
    return std::count_if(m_followers.begin(), m_followers.end(), [](const Follower &follower) {
        return follower.socket && follower.socket->state() == QLocalSocket::ConnectedState;
    });
}
