// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoho/QtKeychainStore.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>

namespace {
// qtkeychain reports through signals; the calls here are few and short.
bool runJob(QKeychain::Job &job)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false); // never a plain-text file instead
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return job.error() == QKeychain::NoError;
}
} // namespace

QtKeychainStore::QtKeychainStore(QString service)
    : m_service(std::move(service))
{ }

std::optional<QString> QtKeychainStore::read(const QString &account)
{
    QKeychain::ReadPasswordJob job(m_service);
    job.setKey(account);
    const bool found = runJob(job);
    m_reachable = found || job.error() == QKeychain::EntryNotFound;
    if (!found)
        return std::nullopt;
    return job.textData();
}

bool QtKeychainStore::write(const QString &account, const QString &value)
{
    QKeychain::WritePasswordJob job(m_service);
    job.setKey(account);
    job.setTextData(value);
    return runJob(job);
}

bool QtKeychainStore::remove(const QString &account)
{
    QKeychain::DeletePasswordJob job(m_service);
    job.setKey(account);
    return runJob(job) || job.error() == QKeychain::EntryNotFound;
}
