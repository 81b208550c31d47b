#pragma once

#include "tools/fake-zoho/FakeZohoServer.h"
#include "zoho/SecretStore.h"

#include <QHash>

// Secrets kept in memory; can be told to refuse writes like a locked keyring.
class MemorySecretStore final : public SecretStore
{
public:
    std::optional<QString> read(const QString &account) override
    {
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
};
