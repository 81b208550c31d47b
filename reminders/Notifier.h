// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <utility>

// A desktop notification as the program asks for one; plain text, the
// notifier escapes what its server would read as markup.
struct Notification
{
    QString summary;
    QString body;
    // Action keys with their button labels, in order.
    QList<std::pair<QString, QString>> actions;
};

// Where notifications go (the desktop's notification server, a test's fake).
class Notifier : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Shows `notification`; the id the signals name it by, never 0.
    virtual quint32 show(const Notification &notification) = 0;

signals:
    // The user chose the action `key` of notification `id`.
    void actionInvoked(quint32 id, const QString &key);
    // Notification `id` is gone (dismissed, expired or replaced).
    void closed(quint32 id);
};
