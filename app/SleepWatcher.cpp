// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SleepWatcher.h"

SleepWatcher::SleepWatcher(const QDBusConnection &systemBus, QObject *parent)
    : QObject(parent)
{
    QDBusConnection bus = systemBus;
    if (bus.isConnected()) {
        bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
            SLOT(prepareForSleep(bool)));
    }
}

void SleepWatcher::prepareForSleep(bool sleeping)
{
    if (!sleeping)
        emit resumed();
}
