// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/InstanceClient.h"

#include <QLocalSocket>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;
class QTimer;

// One brivane per user session. The running instance holds a lock file and
// listens on a local socket, both in $XDG_RUNTIME_DIR; later starts find the
// lock taken and hand their command to it over the socket.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // A command line longer than this is not a command: the connection is dropped.
    static constexpr qsizetype MaxCommandLength = InstanceClient::MaxLineLength;
    // A client that sends no complete line for this long is dropped.
    static constexpr int ClientIdleTimeoutMs = 10000;
    // Connections served at once; further ones are closed as they come, so
    // that clients that never hang up cannot take every descriptor the
    // calendars need.
    static constexpr int MaxClients = 64;
    // How long accepting pauses when the process has no descriptor left.
    static constexpr int AcceptPauseMs = 200;

    // The lock that makes a process the running instance. Held as long as the
    // object lives (and released by the kernel when the process dies, so a
    // crash never leaves it behind).
    class Lock
    {
    public:
        ~Lock();
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

    private:
        friend class SingleInstance;
        explicit Lock(int fd)
            : m_fd(fd)
        { }
        int m_fd;
    };

    static QString defaultSocketPath() { return InstanceClient::socketPath(); }
    static QString lockPathFor(const QString &socketPath);

    // The lock, or null when another live process holds it (however busy or
    // paused that process is).
    static std::unique_ptr<Lock> tryLock(const QString &socketPath);

    // Hands `command` to the running instance; false when none answered
    // within `timeoutMs`. While the running instance is still starting (its
    // lock taken, its socket not yet there) the connection is retried.
    static bool sendToRunning(const QString &socketPath, const QByteArray &command, int timeoutMs = 5000);

    // Answers a question of InstanceClient::request; nothing declines it.
    using RequestHandler = std::function<std::optional<QByteArray>(const QByteArray &question)>;
    void setRequestHandler(RequestHandler handler) { m_requestHandler = std::move(handler); }

    // Answers a follower's question (InstanceClient::follow): nothing
    // declines it, an empty answer takes it with nothing to send yet. The
    // connection stays open; updateFollowers() sends each follower its
    // answer again whenever it has changed.
    using FollowHandler = std::function<std::optional<QByteArray>(const QByteArray &question)>;
    void setFollowHandler(FollowHandler handler) { m_followHandler = std::move(handler); }
    void updateFollowers();
    qsizetype followerCount() const;
    // A follower that leaves this much unread is dropped.
    static constexpr qint64 MaxUnreadByFollower = 256 * 1024;

    SingleInstance(QString socketPath, std::unique_ptr<Lock> lock, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Listens on the socket; a socket file left by a crashed run is replaced
    // (holding the lock proves nobody else uses it). It goes on listening
    // whatever its clients do: running out of descriptors pauses accepting
    // for a moment, and it never removes its socket while it runs.
    bool listen();
    bool isListening() const { return m_listenFd >= 0; }
    // Accepting waits a moment (no descriptor was left for a new client)
    // rather than retrying at once, which would keep a core busy.
    bool isAcceptPaused() const;

signals:
    void commandReceived(const QByteArray &command);

private:
    void acceptPending();
    struct Follower
    {
        QPointer<QLocalSocket> socket;
        QByteArray question;
        QByteArray lastAnswer;
    };

    void serve(QLocalSocket *client);
    void startFollowing(QLocalSocket *client, const QByteArray &question);
    static bool sendAnswer(Follower &follower, const QByteArray &answer);

    QString m_socketPath;
    std::unique_ptr<Lock> m_lock;
    int m_listenFd = -1;
    QSocketNotifier *m_acceptNotifier = nullptr;
    QTimer *m_acceptPause = nullptr;
    int m_clients = 0;
    bool m_toldOfShortage = false;
    RequestHandler m_requestHandler;
    FollowHandler m_followHandler;
    std::vector<Follower> m_followers;
};
