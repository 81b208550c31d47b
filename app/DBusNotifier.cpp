// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DBusNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

namespace {
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
} // namespace

DBusNotifier::DBusNotifier(const QDBusConnection &bus, QObject *parent)
    : Notifier(parent)
    , m_bus(bus)
{
    // The signals of whichever server holds the name, now or later.
    m_bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
        SLOT(serverActionInvoked(uint, QString)));
    m_bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
        SLOT(serverNotificationClosed(uint, uint)));
}

quint32 DBusNotifier::show(const Notification &notification)
{
    const quint32 id = ++m_lastId;
    QStringList actions;
    for (const auto &[key, label] : notification.actions)
        actions << key << label;
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral(BRIVANE_APP_ID));
    hints.insert(QStringLiteral("category"), QStringLiteral("x-brivane.reminder"));
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    // Servers that read markup in the body would take an event's "<" or "&"
    // as markup; the summary is always plain text.
    call << QStringLiteral("brivane") << uint(0) << QStringLiteral(BRIVANE_APP_ID) << notification.summary
         << notification.body.toHtmlEscaped() << actions << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, id](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isError()) {
            if (!std::exchange(m_warned, true)) {
                qWarning("brivane: no notification server answers (%s); reminders are not shown",
                    qPrintable(reply.error().message()));
            }
            emit closed(id);
            return;
        }
        m_ours.insert(reply.value(), id);
    });
    return id;
}

void DBusNotifier::serverActionInvoked(uint serverId, const QString &key)
{
    if (const auto found = m_ours.constFind(serverId); found != m_ours.constEnd())
        emit actionInvoked(found.value(), key);
}

void DBusNotifier::serverNotificationClosed(uint serverId, uint reason)
{
    Q_UNUSED(reason);
    if (const auto found = m_ours.constFind(serverId); found != m_ours.constEnd()) {
        const quint32 id = found.value();
        m_ours.erase(found);
        emit closed(id);
    }
}
