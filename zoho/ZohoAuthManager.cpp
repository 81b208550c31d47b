// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoho/ZohoAuthManager.h"

#include "zoho/ZohoConfig.h"
#include "zoho/ZohoHttp.h"
#include "zoho/ZohoJson.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>

#include <QCoreApplication>
#include <algorithm>

ZohoAuthManager::ZohoAuthManager(ZohoKeychain &keychain, QNetworkAccessManager &network, const Clock &clock,
    std::function<QUrl()> accountsUrl, QObject *parent)
    : QObject(parent)
    , m_keychain(keychain)
    , m_network(network)
    , m_clock(clock)
    , m_accountsUrl(std::move(accountsUrl))
    , m_timeoutMs(ZohoHttp::DefaultTimeoutMs)
{
    m_tokens = m_keychain.loadTokens();
    m_isConnected = m_tokens.has_value(); // an expired token still counts: it is refreshed when needed
}

void ZohoAuthManager::setConnected(bool connected)
{
    m_isConnected = connected;
    emit isConnectedChanged();
}

void ZohoAuthManager::setExchanging(bool exchanging)
{
    m_isExchanging = exchanging;
    emit isExchangingChanged();
}

void ZohoAuthManager::setError(const QString &error)
{
    m_error = error;
    emit errorChanged();
}

void ZohoAuthManager::setShowingCodeEntry(bool showing)
{
    m_showingCodeEntry = showing;
    emit showingCodeEntryChanged();
}

void ZohoAuthManager::sendTokenRequest(
    const QList<QPair<QString, QString>> &fields, std::function<void(const ZohoHttp::Reply &)> done)
{
    const QUrl base = m_accountsUrl();
    if (const QString refusal = ZohoConfig::refusalReason(base); !refusal.isEmpty()) {
        ZohoHttp::Reply refused;
        refused.failed = true;
        refused.error = refusal;
        QMetaObject::invokeMethod(
            this, [done, refused] { done(refused); }, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(ZohoConfig::endpoint(base, QStringLiteral("/oauth/v2/token")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    ZohoHttp::send(m_network, request, "POST", ZohoHttp::formEncode(fields), m_timeoutMs, this, std::move(done));
}

namespace {

ZohoError unexpectedResponse(const QByteArray &body)
{
    return ZohoError::tokenError(
        QCoreApplication::translate("ZohoAuthManager", "Unexpected response: ") + ZohoHttp::bodyExcerpt(body));
}

} // namespace

using ZohoJson::integerOf;
using ZohoJson::readTokenAnswer;
using ZohoJson::TokenAnswer;

void ZohoAuthManager::exchangeCode(const QString &code)
{
    const QString trimmed = code.trimmed();
    if (trimmed.isEmpty())
        return;
    setExchanging(true);
    setError({});
    const QList<QPair<QString, QString>> fields {
        {QStringLiteral("code"), trimmed},
        {QStringLiteral("client_id"), QString::fromUtf8(ZohoConfig::ClientId)},
        {QStringLiteral("client_secret"), QString::fromUtf8(ZohoConfig::ClientSecret)},
        {QStringLiteral("grant_type"), QStringLiteral("authorization_code")},
    };
    sendTokenRequest(fields, [this](const ZohoHttp::Reply &reply) {
        auto fail = [this](const ZohoError &error) {
            setExchanging(false);
            setError(error.description());
        };
        const TokenAnswer answer
            = readTokenAnswer(reply, QCoreApplication::translate("ZohoAuthManager", "Invalid response"));
        if (answer.error)
            return fail(*answer.error);
        const QJsonValue access = answer.object.value(QStringLiteral("access_token"));
        const QJsonValue refresh = answer.object.value(QStringLiteral("refresh_token"));
        const std::optional<qint64> expiresIn = integerOf(answer.object.value(QStringLiteral("expires_in")));
        // A token that could break out of its header is refused, never stored.
        if (!access.isString() || !refresh.isString() || !expiresIn || !isHeaderSafeToken(access.toString())
            || !isHeaderSafeToken(refresh.toString()))
            return fail(unexpectedResponse(reply.body));
        ZohoTokens tokens {access.toString(), refresh.toString(),
            m_clock.now().addSecs(std::clamp(*expiresIn, qint64(0), LongestTokenLifetimeSeconds))};
        m_keychain.saveTokens(tokens);
        m_tokens = tokens;
        setConnected(true);
        setExchanging(false);
        setShowingCodeEntry(false);
        emit zohoConnected();
    });
}

void ZohoAuthManager::validAccessToken(TokenCallback done)
{
    if (m_tokens && m_clock.now() < m_tokens->expiryDate.addSecs(-RefreshMarginSeconds)) {
        done({m_tokens->accessToken, std::nullopt});
        return;
    }
    if (!m_tokens) {
        done({{}, ZohoError::notAuthenticated()});
        return;
    }
    refreshAccessToken(m_tokens->refreshToken, std::move(done));
}

void ZohoAuthManager::renewAccessToken(const QString &refusedToken, TokenCallback done)
{
    if (!m_tokens) {
        done({{}, ZohoError::notAuthenticated()});
        return;
    }
    if (m_tokens->accessToken != refusedToken) {
        validAccessToken(std::move(done)); // renewed meanwhile
        return;
    }
    refreshAccessToken(m_tokens->refreshToken, std::move(done));
}

void ZohoAuthManager::refreshAccessToken(const QString &refreshToken, TokenCallback done)
{
    m_refreshWaiters.push_back(std::move(done));
    if (m_refreshWaiters.size() > 1)
        return; // joins the refresh under way
    const QList<QPair<QString, QString>> fields {
        {QStringLiteral("refresh_token"), refreshToken},
        {QStringLiteral("client_id"), QString::fromUtf8(ZohoConfig::ClientId)},
        {QStringLiteral("client_secret"), QString::fromUtf8(ZohoConfig::ClientSecret)},
        {QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
    };
    sendTokenRequest(fields, [this, refreshToken](const ZohoHttp::Reply &reply) {
        const TokenAnswer answer
            = readTokenAnswer(reply, QCoreApplication::translate("ZohoAuthManager", "Refresh failed"));
        const bool current = m_tokens && m_tokens->refreshToken == refreshToken;
        if (answer.zohoError == QLatin1String("invalid_grant") && current) {
            // The refresh token is dead: staying "connected" would fail forever.
            disconnect();
            setError(ZohoError::accessRevoked().description());
            return finishRefresh({{}, ZohoError::accessRevoked()});
        }
        if (answer.error)
            return finishRefresh({{}, *answer.error});
        const QJsonValue access = answer.object.value(QStringLiteral("access_token"));
        const std::optional<qint64> expiresIn = integerOf(answer.object.value(QStringLiteral("expires_in")));
        if (!access.isString() || !expiresIn)
            return finishRefresh(
                {{}, ZohoError::tokenError(QCoreApplication::translate("ZohoAuthManager", "Refresh failed"))});
        if (!isHeaderSafeToken(access.toString()))
            return finishRefresh({{}, unexpectedResponse(reply.body)});
        // Disconnected (or connected anew) meanwhile: this answer is stale.
        if (!current)
            return finishRefresh({{}, ZohoError::notAuthenticated()});
        // The refresh token stays the one that was used; a new one in the answer is ignored.
        ZohoTokens tokens {access.toString(), refreshToken,
            m_clock.now().addSecs(std::clamp(*expiresIn, qint64(0), LongestTokenLifetimeSeconds))};
        m_keychain.saveTokens(tokens);
        m_tokens = tokens;
        finishRefresh({tokens.accessToken, std::nullopt});
    });
}

void ZohoAuthManager::finishRefresh(const TokenResult &result)
{
    const std::vector<TokenCallback> waiters = std::exchange(m_refreshWaiters, {});
    for (const TokenCallback &waiter : waiters)
        waiter(result);
}

void ZohoAuthManager::disconnect()
{
    m_keychain.deleteTokens();
    m_tokens.reset();
    setConnected(false);
    setError({});
    setShowingCodeEntry(false);
}
