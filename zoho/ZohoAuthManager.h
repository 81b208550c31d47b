// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/Clock.h"
#include "calendar/ZohoTypes.h"
#include "zoho/ZohoHttp.h"
#include "zoho/ZohoKeychain.h"
#include "zoho/ZohoWire.h"

#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;

// The connection to a Zoho account: a pasted one-time code is exchanged for
// tokens, which are kept in the secret store and refreshed when a request
// needs them.
class ZohoAuthManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
    Q_PROPERTY(bool isExchanging READ isExchanging NOTIFY isExchangingChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(bool showingCodeEntry READ showingCodeEntry WRITE setShowingCodeEntry NOTIFY showingCodeEntryChanged)
public:
    // A token, or why there is none.
    struct TokenResult
    {
        QString token;
        std::optional<ZohoError> error;
        bool ok() const { return !error; }
    };
    using TokenCallback = std::function<void(const TokenResult &)>;

    static constexpr int RefreshMarginSeconds = 60;
    // A token's lifetime as the server states it, bounded: Zoho's are an
    // hour, and a lifetime of centuries would only overflow the date.
    static constexpr qint64 LongestTokenLifetimeSeconds = 366LL * 24 * 3600;

    // `clock` times the tokens' lifetimes, which run on the real clock: give it
    // the system's, never one that a command fixed with `--at`.
    ZohoAuthManager(ZohoKeychain &keychain, QNetworkAccessManager &network, const Clock &clock,
        std::function<QUrl()> accountsUrl, QObject *parent = nullptr);

    bool isConnected() const { return m_isConnected; }
    bool isExchanging() const { return m_isExchanging; }
    QString error() const { return m_error; } // empty: none
    bool showingCodeEntry() const { return m_showingCodeEntry; }
    void setShowingCodeEntry(bool showing);
    const std::optional<ZohoTokens> &tokens() const { return m_tokens; }
    // False when the secret store could not keep the tokens.
    bool tokensSurviveRestart() const { return m_keychain.keepsTokens(); }

    Q_INVOKABLE void exchangeCode(const QString &code);
    // A token valid for at least another minute, refreshing when needed.
    void validAccessToken(TokenCallback done);
    // Zoho refused `refusedToken` before its time: a fresh one, refreshed now
    // unless another caller has already replaced it.
    void renewAccessToken(const QString &refusedToken, TokenCallback done);
    // A refresh answered with "invalid_grant" (the refresh token was revoked
    // or has expired) disconnects: connecting again is the only way back.
    void refreshAccessToken(const QString &refreshToken, TokenCallback done);
    Q_INVOKABLE void disconnect();

    void setRequestTimeout(int milliseconds) { m_timeoutMs = milliseconds; }

signals:
    void isConnectedChanged();
    void isExchangingChanged();
    void errorChanged();
    void showingCodeEntryChanged();
    // A code exchange succeeded.
    void zohoConnected();

private:
    void setConnected(bool connected);
    void setExchanging(bool exchanging);
    void setError(const QString &error);
    void sendTokenRequest(
        const QList<QPair<QString, QString>> &fields, std::function<void(const ZohoHttp::Reply &)> done);
    void finishRefresh(const TokenResult &result);

    ZohoKeychain &m_keychain;
    QNetworkAccessManager &m_network;
    const Clock &m_clock;
    std::function<QUrl()> m_accountsUrl;
    int m_timeoutMs;

    bool m_isConnected = false;
    bool m_isExchanging = false;
    QString m_error;
    bool m_showingCodeEntry = false;
    std::optional<ZohoTokens> m_tokens;
    // Callers waiting for the refresh under way: Zoho hands out only a few
    // access tokens per refresh token in ten minutes, so there is one at a time.
    std::vector<TokenCallback> m_refreshWaiters;
};
