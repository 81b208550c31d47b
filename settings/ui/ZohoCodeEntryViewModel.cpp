// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/ZohoCodeEntryViewModel.h"

#include "calendar/DesktopLauncher.h"
#include "zoho/ZohoAuthManager.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QVariantMap>

QUrl ZohoCodeEntryViewModel::consoleUrl()
{
    return QUrl(QStringLiteral("https://api-console.zoho.com/"));
}

ZohoCodeEntryViewModel::ZohoCodeEntryViewModel(ZohoAuthManager *auth, DesktopLauncher &launcher, QObject *parent)
    : QObject(parent)
    , m_auth(auth)
    , m_launcher(launcher)
{
    if (auth) {
        connect(auth, &ZohoAuthManager::isExchangingChanged, this, &ZohoCodeEntryViewModel::isExchangingChanged);
        connect(auth, &ZohoAuthManager::isExchangingChanged, this, &ZohoCodeEntryViewModel::canConnectChanged);
        connect(auth, &ZohoAuthManager::errorChanged, this, &ZohoCodeEntryViewModel::errorChanged);
    }
}

void ZohoCodeEntryViewModel::setCode(const QString &code)
{
    if (code == m_code)
        return;
    const bool could = canConnect();
    m_code = code;
    emit codeChanged();
    if (could != canConnect())
        emit canConnectChanged();
}

bool ZohoCodeEntryViewModel::canConnect() const
{
    return m_auth && !m_code.isEmpty() && !m_auth->isExchanging();
}

bool ZohoCodeEntryViewModel::isExchanging() const
{
    return m_auth && m_auth->isExchanging();
}

QString ZohoCodeEntryViewModel::connectText() const
{
    return isExchanging() ? tr("Connecting\u2026") : tr("Connect");
}

QString ZohoCodeEntryViewModel::error() const
{
    return m_auth ? m_auth->error() : QString();
}

QVariantList ZohoCodeEntryViewModel::steps() const
{
    const QStringList texts {
        tr("Open **api-console.zoho.com** and choose your **Self Client**"),
        tr("Click **Generate Code**"),
        tr("Enter these scopes:\n`ZohoCalendar.calendar.ALL,ZohoCalendar.event.ALL`"),
        tr("Set duration to **10 minutes**"),
        tr("Click **Create** \u2014 you'll get a one-time code"),
        tr("Come back here and **paste the code** on the next screen"),
    };
    QVariantList steps;
    for (int i = 0; i < texts.size(); ++i) {
        steps.append(QVariantMap {{QStringLiteral("n"), QString::number(i + 1)}, {QStringLiteral("text"), texts[i]},
            {QStringLiteral("styledText"), styledText(texts[i])}, {QStringLiteral("plainText"), plainText(texts[i])}});
    }
    return steps;
}

QString ZohoCodeEntryViewModel::styledText(const QString &markdown)
{
    static const QRegularExpression bold(QStringLiteral("\\*\\*(.+?)\\*\\*"));
    static const QRegularExpression code(QStringLiteral("`(.+?)`"));
    QString text = markdown.toHtmlEscaped();
    text.replace(bold, QStringLiteral("<b>\\1</b>"));
    text.replace(code, QStringLiteral("<font face=\"monospace\">\\1</font>"));
    text.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return text;
}

QString ZohoCodeEntryViewModel::plainText(const QString &markdown)
{
    QString text = markdown;
    text.remove(QStringLiteral("**"));
    text.remove(QLatin1Char('`'));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

void ZohoCodeEntryViewModel::copyScopes()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromLatin1(Scopes));
}

void ZohoCodeEntryViewModel::openConsole()
{
    m_launcher.openUrl(consoleUrl());
}

void ZohoCodeEntryViewModel::showCodeStep()
{
    if (m_step == 1)
        return;
    m_step = 1;
    emit stepChanged();
}

void ZohoCodeEntryViewModel::connectZoho()
{
    // The manager trims the code and ignores one of spaces alone.
    if (canConnect())
        m_auth->exchangeCode(m_code);
}
