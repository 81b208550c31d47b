// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "zoho/SecretStore.h"
#include "zoho/ZohoWire.h"

// The Zoho tokens in the secret store: three items, "accessToken",
// "refreshToken" and "tokenExpiry" (seconds since 1970 as decimal text).
// A store that cannot keep them is not an error: the tokens then live in
// memory only, and the user is told once.
class ZohoKeychain
{
public:
    // Kept outside the secret store (in the settings): whether the store
    // holds the tokens. Asking the store wakes the desktop's keyring, and may
    // start its daemon: while the note says no, it is not asked.
    class Note
    {
    public:
        virtual ~Note() = default;
        virtual bool mayHoldTokens() const = 0;
        virtual void setHoldsTokens(bool holds) = 0;
    };

    static QString serviceName();

    // Without a note the store is always asked.
    explicit ZohoKeychain(SecretStore &store, Note *note = nullptr);

    std::optional<QString> read(const QString &account);
    void save(const QString &value, const QString &account);
    void remove(const QString &account);

    // Nothing unless all three items are there, the tokens are visible ASCII
    // and the expiry is a number.
    std::optional<ZohoTokens> loadTokens();
    void saveTokens(const ZohoTokens &tokens);
    void deleteTokens();

    // False once the store failed to keep something.
    bool keepsTokens() const { return m_keepsTokens; }
    static QString notKeptMessage();

    static QString expiryText(const QDateTime &expiry);

private:
    void noteNotKept();
    std::optional<ZohoTokens> readTokens();

    SecretStore &m_store;
    Note *m_note = nullptr;
    bool m_keepsTokens = true;
};
