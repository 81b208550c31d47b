#pragma once

#include <QObject>

class QLocalServer;

// One brivane per user session: the first one listens on a local socket in
// $XDG_RUNTIME_DIR; later starts hand it their command and exit.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QString socketPath, QObject *parent = nullptr);
    static QString defaultSocketPath();

    // Hands `command` to the running instance; false when none answered.
    static bool sendToRunning(const QString &socketPath, const QByteArray &command, int timeoutMs = 2000);

    // Becomes the running instance. A socket left by a crashed run is taken
    // over; false when a live instance holds it.
    bool listen();

signals:
    void commandReceived(const QByteArray &command);

private:
    QString m_socketPath;
    QLocalServer *m_server = nullptr;
};
