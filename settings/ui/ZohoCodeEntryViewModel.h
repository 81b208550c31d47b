// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class DesktopLauncher;
class ZohoAuthManager;

// The sheet that connects Zoho: step 0 tells how to make a code in Zoho's
// API console, step 1 takes the code and exchanges it.
class ZohoCodeEntryViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the Integrations tab")
    Q_PROPERTY(int step READ step NOTIFY stepChanged)
    Q_PROPERTY(QString code READ code WRITE setCode NOTIFY codeChanged)
    Q_PROPERTY(bool canConnect READ canConnect NOTIFY canConnectChanged)
    Q_PROPERTY(bool isExchanging READ isExchanging NOTIFY isExchangingChanged)
    Q_PROPERTY(QString connectText READ connectText NOTIFY isExchangingChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(QVariantList steps READ steps CONSTANT)
public:
    static constexpr const char *Scopes = "ZohoCalendar.calendar.ALL,ZohoCalendar.event.ALL";
    static QUrl consoleUrl();

    ZohoCodeEntryViewModel(ZohoAuthManager *auth, DesktopLauncher &launcher, QObject *parent = nullptr);

    int step() const { return m_step; }
    QString code() const { return m_code; }
    void setCode(const QString &code);
    // Not while the field is empty or an exchange runs. A code of spaces
    // alone enables it; pressing it then sends nothing.
    bool canConnect() const;
    bool isExchanging() const;
    QString connectText() const;
    QString error() const;
    // {n, text, styledText, plainText} of the six instructions: the text in
    // Markdown, as Qt's styled text (bold and code) and plain (to be read aloud).
    QVariantList steps() const;
    static QString styledText(const QString &markdown);
    static QString plainText(const QString &markdown);

    Q_INVOKABLE void copyScopes();
    Q_INVOKABLE void openConsole();
    Q_INVOKABLE void showCodeStep();
    Q_INVOKABLE void connectZoho();

signals:
    void stepChanged();
    void codeChanged();
    void canConnectChanged();
    void isExchangingChanged();
    void errorChanged();

private:
    QPointer<ZohoAuthManager> m_auth;
    DesktopLauncher &m_launcher;
    int m_step = 0;
    QString m_code;
};
