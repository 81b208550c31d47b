// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>

// Tells when the machine wakes from a suspend, as logind announces it on
// the system bus (PrepareForSleep(false)).
class SleepWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SleepWatcher(const QDBusConnection &systemBus, QObject *parent = nullptr);

signals:
    void resumed();

private Q_SLOTS:
    void prepareForSleep(bool sleeping);
};
