// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoho/ZohoKeychain.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTimeZone>

namespace {
const QString AccessTokenAccount = QStringLiteral("accessToken");
const QString RefreshTokenAccount = QStringLiteral("refreshToken");
const QString ExpiryAccount = QStringLiteral("tokenExpiry");
} // namespace

QString ZohoKeychain::serviceName()
{
    return QStringLiteral("brivane.zoho");
}

ZohoKeychain::ZohoKeychain(SecretStore &store, Note *note)
    : m_store(store)
    , m_note(note)
{ }

QString ZohoKeychain::notKeptMessage()
{
    return QCoreApplication::translate(
        "ZohoKeychain", "The Secret Service is not available: the Zoho connection will not survive a restart.");
}

std::optional<QString> ZohoKeychain::read(const QString &account)
{
    return m_store.read(account);
}

void ZohoKeychain::noteNotKept()
{
    m_keepsTokens = false;
}

void ZohoKeychain::save(const QString &value, const QString &account)
{
    if (!m_store.write(account, value))
        noteNotKept();
}

void ZohoKeychain::remove(const QString &account)
{
    m_store.remove(account);
}

QString ZohoKeychain::expiryText(const QDateTime &expiry)
{
    return QString::number(double(expiry.toMSecsSinceEpoch()) / 1000.0, 'g', QLocale::FloatingPointShortest);
}

std::optional<ZohoTokens> ZohoKeychain::loadTokens()
{
    if (m_note && !m_note->mayHoldTokens())
        return std::nullopt;
    std::optional<ZohoTokens> tokens = readTokens();
    // What the store said, noted (a note missing from older settings is
    // written now); a store that could not be reached said nothing.
    if (m_note && m_store.isReachable())
        m_note->setHoldsTokens(tokens.has_value());
    return tokens;
}

std::optional<ZohoTokens> ZohoKeychain::readTokens()
{
    const std::optional<QString> access = read(AccessTokenAccount);
    const std::optional<QString> refresh = read(RefreshTokenAccount);
    const std::optional<QString> expiry = read(ExpiryAccount);
    if (!m_store.isReachable())
        noteNotKept();
    // A token that could not go into a header is as good as none.
    if (!access || !refresh || !expiry || !isHeaderSafeToken(*access) || !isHeaderSafeToken(*refresh))
        return std::nullopt;
    bool isNumber = false;
    const double seconds = expiry->toDouble(&isNumber);
    if (!isNumber)
        return std::nullopt;
    // An expiry no clock reaches (edited by another program, "inf", "1e30")
    // counts as expired: the refresh token still connects.
    constexpr double LatestSeconds = 1e11; // about the year 5138
    const qint64 msecs = std::fabs(seconds) <= LatestSeconds ? qint64(seconds * 1000.0) : 0;
    return ZohoTokens {*access, *refresh, QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc())};
}

void ZohoKeychain::saveTokens(const ZohoTokens &tokens)
{
    save(tokens.accessToken, AccessTokenAccount);
    save(tokens.refreshToken, RefreshTokenAccount);
    save(expiryText(tokens.expiryDate), ExpiryAccount);
    if (m_note)
        m_note->setHoldsTokens(m_keepsTokens);
}

void ZohoKeychain::deleteTokens()
{
    if (m_note)
        m_note->setHoldsTokens(false);
    remove(AccessTokenAccount);
    remove(RefreshTokenAccount);
    remove(ExpiryAccount);
}
