#include "zoho/ZohoAuthManager.h"

#include "zoho/ZohoConfig.h"
#include "zoho/ZohoHttp.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>

namespace {
// JSON integers only: "3600" as a string or 3600.5 do not count.
std::optional<qint64> integerOf(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number != double(qint64(number)))
        return std::nullopt;
    return qint64(number);
}
} // namespace

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
    const QList<QPair<QString, QString>> &fields, std::function<void(bool, const QString &, const QByteArray &)> done)
{
    const QUrl base = m_accountsUrl();
    if (const QString refusal = ZohoConfig::refusalReason(base); !refusal.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [done, refusal] { done(true, refusal, {}); }, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(ZohoConfig::endpoint(base, QStringLiteral("/oauth/v2/token")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    ZohoHttp::send(m_network, request, "POST", ZohoHttp::formEncode(fields), m_timeoutMs, this,
        [done](const ZohoHttp::Reply &reply) { done(reply.failed, reply.error, reply.body); });
}

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
    sendTokenRequest(fields, [this](bool failed, const QString &failure, const QByteArray &body) {
        auto fail = [this](const QString &description) {
            setExchanging(false);
            setError(description);
        };
        if (failed)
            return fail(failure);
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
        if (parseError.error != QJsonParseError::NoError)
            return fail(parseError.errorString());
        if (!document.isObject())
            return fail(ZohoError::tokenError(QStringLiteral("Invalid response")).description());
        const QJsonObject object = document.object();
        if (object.value(QStringLiteral("error")).isString())
            return fail(ZohoError::tokenError(object.value(QStringLiteral("error")).toString()).description());
        const QJsonValue access = object.value(QStringLiteral("access_token"));
        const QJsonValue refresh = object.value(QStringLiteral("refresh_token"));
        const std::optional<qint64> expiresIn = integerOf(object.value(QStringLiteral("expires_in")));
        if (!access.isString() || !refresh.isString() || !expiresIn) {
            return fail(ZohoError::tokenError(QStringLiteral("Unexpected response: ") + ZohoHttp::redactedBody(body))
                            .description());
        }
        ZohoTokens tokens {access.toString(), refresh.toString(), m_clock.now().addSecs(*expiresIn)};
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
    sendTokenRequest(fields, [this, refreshToken](bool failed, const QString &failure, const QByteArray &body) {
        if (failed)
            return finishRefresh({{}, ZohoError::other(failure)});
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
        if (parseError.error != QJsonParseError::NoError)
            return finishRefresh({{}, ZohoError::other(parseError.errorString())});
        const QJsonObject object = document.object();
        const QJsonValue access = object.value(QStringLiteral("access_token"));
        const std::optional<qint64> expiresIn = integerOf(object.value(QStringLiteral("expires_in")));
        if (!document.isObject() || !access.isString() || !expiresIn) {
            const QJsonValue error = object.value(QStringLiteral("error"));
            return finishRefresh(
                {{}, ZohoError::tokenError(error.isString() ? error.toString() : QStringLiteral("Refresh failed"))});
        }
        // Disconnected (or connected anew) meanwhile: this answer is stale.
        if (!m_tokens || m_tokens->refreshToken != refreshToken)
            return finishRefresh({{}, ZohoError::notAuthenticated()});
        // The refresh token stays the one that was used; a new one in the answer is ignored.
        ZohoTokens tokens {access.toString(), refreshToken, m_clock.now().addSecs(*expiresIn)};
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
