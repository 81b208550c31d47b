// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/ZohoTypes.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <QUrl>

#include <optional>

// The calendars and events of the last Zoho sync, kept on disk so that a
// start without the network shows them at once. Only what the views show is
// kept, never a token. A cache of another account or another format, or one
// that cannot be read whole, is no cache.
class ZohoCache
{
public:
    static constexpr int FormatVersion = 1;
    // A week of a hundred calendars' events is far below this.
    static constexpr qint64 MaxBytes = 32 * 1024 * 1024;

    struct Snapshot
    {
        QList<ZohoCalendar> calendars;
        QList<ZohoEvent> events;
        QDateTime synced; // when the sync finished, UTC

        bool operator==(const Snapshot &other) const = default;
    };

    // $XDG_CACHE_HOME/brivane/zoho-calendars.json
    static QString defaultPath();
    // What tells one connected account from another without being a secret:
    // the servers (the account's data centre) and a hash of the client id
    // the account was connected with.
    static QString accountKey(const QUrl &accountsUrl, const QUrl &calendarUrl, const QString &clientId);

    ZohoCache(QString path, QString accountKey);

    // Times come back in `zone`, as the client gives them.
    std::optional<Snapshot> read(const QTimeZone &zone) const;
    // Into a folder of the user's own (0700), the file for the user alone
    // (0600); false, with a warning, when it could not be written.
    bool write(const Snapshot &snapshot) const;
    // The account was disconnected: its events are not kept.
    void remove() const;

    const QString &path() const { return m_path; }

private:
    QString m_path;
    QString m_accountKey;
};
