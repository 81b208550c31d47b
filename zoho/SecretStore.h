// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// Where secrets are kept: the desktop's Secret Service, or memory in tests.
class SecretStore
{
public:
    virtual ~SecretStore() = default;
    // Nothing when the item is missing or the store cannot be reached.
    virtual std::optional<QString> read(const QString &account) = 0;
    // False when the store could not keep it.
    virtual bool write(const QString &account, const QString &value) = 0;
    virtual bool remove(const QString &account) = 0;
    // False when the last read found no store to ask (as opposed to no item).
    virtual bool isReachable() const { return true; }
};
