// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tools/fake-zoho/FakeZohoServer.h"
#include "zoho/SecretStore.h"

#include <QHash>
#include <QJsonObject>

// Secrets kept in memory; can be told to refuse writes like a locked keyring.
class MemorySecretStore final : public SecretStore
{
public:
    std::optional<QString> read(const QString &account) override
    {
        ++reads;
        if (!items.contains(account))
            return std::nullopt;
        return items.value(account);
    }
    bool write(const QString &account, const QString &value) override
    {
        if (refuseWrites)
            return false;
        items.insert(account, value);
        return true;
    }
    bool remove(const QString &account) override
    {
        items.remove(account);
        return true;
    }

    QHash<QString, QString> items;
    bool refuseWrites = false;
    int reads = 0; // how often the store was asked
};

namespace TestSupport {
// An event as Zoho's calendar API gives it.
inline QJsonObject zohoEventJson(const QString &uid, const QString &title, const QString &start, const QString &end,
    const QJsonValue &allDay = QJsonValue::Undefined)
{
    QJsonObject when {{QStringLiteral("start"), start}, {QStringLiteral("end"), end}};
    if (!allDay.isUndefined())
        when.insert(QStringLiteral("allday"), allDay);
    return {{QStringLiteral("uid"), uid}, {QStringLiteral("title"), title}, {QStringLiteral("dateandtime"), when}};
}
} // namespace TestSupport
