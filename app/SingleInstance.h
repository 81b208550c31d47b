#pragma once

#include "app/InstanceClient.h"

#include <QLocalSocket>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLocalServer;

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
    // (holding the lock proves nobody else uses it).
    bool listen();

signals:
    void commandReceived(const QByteArray &command);

private:
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
    QLocalServer *m_server = nullptr;
    RequestHandler m_requestHandler;
    FollowHandler m_followHandler;
    std::vector<Follower> m_followers;
};
