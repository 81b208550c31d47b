#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
{ }

QString SingleInstance::defaultSocketPath()
{
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath() + QStringLiteral("/brivane-") + QString::number(getuid());
    QDir().mkpath(runtime);
    return runtime + QStringLiteral("/brivane.socket");
}

bool SingleInstance::sendToRunning(const QString &socketPath, const QByteArray &command, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(command + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The reply says the command was taken, so the caller may exit.
    return socket.waitForReadyRead(timeoutMs) && socket.readLine().trimmed() == "ok";
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        if (sendToRunning(m_socketPath, "ping", 500))
            return false;
        QLocalServer::removeServer(m_socketPath); // stale: nobody answers
        if (!m_server->listen(m_socketPath))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                while (client->canReadLine()) {
                    const QByteArray command = client->readLine().trimmed();
                    client->write("ok\n");
                    client->flush();
                    if (command != "ping")
                        emit commandReceived(command);
                }
            });
        }
    });
    return true;
}
