// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reminders/Notifier.h"

#include <QDBusConnection>
#include <QHash>

// Notifications through the desktop's notification server
// (org.freedesktop.Notifications). Without a server, the first failed
// notification is warned about once and the rest go quietly.
class DBusNotifier final : public Notifier
{
    Q_OBJECT
public:
    static inline const QString Service = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString Path = QStringLiteral("/org/freedesktop/Notifications");

    explicit DBusNotifier(const QDBusConnection &bus, QObject *parent = nullptr);

    quint32 show(const Notification &notification) override;

private Q_SLOTS:
    void serverActionInvoked(uint serverId, const QString &key);
    void serverNotificationClosed(uint serverId, uint reason);

private:
    QDBusConnection m_bus;
    quint32 m_lastId = 0;
    // The server's ids of our notifications, to ours.
    QHash<uint, quint32> m_ours;
    bool m_warned = false;
};
