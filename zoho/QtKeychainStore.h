// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "zoho/SecretStore.h"

// The Secret Service (GNOME Keyring, KWallet) through qtkeychain, one
// service name for all items. Calls wait for the answer.
class QtKeychainStore final : public SecretStore
{
public:
    explicit QtKeychainStore(QString service);

    std::optional<QString> read(const QString &account) override;
    bool write(const QString &account, const QString &value) override;
    bool remove(const QString &account) override;
    bool isReachable() const override { return m_reachable; }

private:
    QString m_service;
    bool m_reachable = true;
};
