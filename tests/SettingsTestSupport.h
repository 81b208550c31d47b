// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The settings window and the first-run window over real calendars in a
// temporary folder (accounts of any title), optionally with Zoho played by
// the fake server; their QML loaded in windows when a test drives them.
#include "PopoverTestSupport.h"

#include "onboarding/OnboardingViewModel.h"
#include "settings/ui/SettingsViewModel.h"
#include "settings/ui/ZohoCodeEntryViewModel.h"

namespace TestSupport {

// Records what is opened, and has the setup targets a test says it has.
class SetupLauncher final : public DesktopLauncher
{
public:
    void openUrl(const QUrl &url) override { urls.append(url); }
    bool openCalendarApp(const QDate &day) override
    {
        calendarDays.append(day);
        return calendarAppInstalled;
    }
    bool hasCalendarApp() const override { return calendarAppInstalled; }
    bool hasOnlineAccountsSettings() const override { return onlineAccountsInstalled; }
    bool openOnlineAccountsSettings() override
    {
        ++onlineAccountsOpened;
        return onlineAccountsStart;
    }

    QList<QUrl> urls;
    QList<QDate> calendarDays;
    int onlineAccountsOpened = 0;
    bool calendarAppInstalled = true;
    bool onlineAccountsInstalled = true;
    bool onlineAccountsStart = true;
};

class SettingsFixture : public PopoverFixture
{
public:
    explicit SettingsFixture(const QDateTime &now, const QTimeZone &zone = QTimeZone("Europe/Berlin"))
        : PopoverFixture(now, zone)
    { }
    ~SettingsFixture()
    {
        settingsView.reset();
        settingsViewModel.reset();
        onboardingView.reset();
        onboarding.reset();
    }

    // A calendar in the account folder `account`, whose title is `accountTitle`.
    QString addAccountCalendar(const QString &account, const QString &accountTitle, const QString &folder,
        const QString &title, const QString &color = {})
    {
        const QString accountPath = root + QLatin1Char('/') + account;
        writeFile(accountPath + QStringLiteral("/displayname"), accountTitle.toUtf8());
        const QString path = accountPath + QLatin1Char('/') + folder;
        writeFile(path + QStringLiteral("/displayname"), title.toUtf8());
        if (!color.isEmpty())
            writeFile(path + QStringLiteral("/color"), color.toUtf8());
        return path;
    }
    // A store without any calendar (the folder exists, so none is made).
    void makeEmptyRoot() { QDir().mkpath(root); }
    QString accountCalendarId(const QString &account, const QString &folder) const
    {
        for (const CalendarInfo &calendar : store->calendars()) {
            if (calendar.identifier.endsWith(QLatin1Char('/') + account + QLatin1Char('/') + folder))
                return calendar.identifier;
        }
        return {};
    }

    // Zoho played by the fake server, not connected yet.
    void startZohoDisconnected(const QJsonArray &calendars = {})
    {
        server = std::make_unique<FakeZohoServer>();
        if (!server->start())
            qFatal("the fake Zoho server did not start");
        server->setCalendars(calendars);
        secrets = std::make_unique<MemorySecretStore>();
        keychain = std::make_unique<ZohoKeychain>(*secrets);
        network = std::make_unique<QNetworkAccessManager>();
        const QUrl url = server->url();
        auth = std::make_unique<ZohoAuthManager>(*keychain, *network, clock, [url] { return url; });
        zoho = std::make_unique<ZohoCalendarManager>(*auth, *network, clock, [url] { return url; });
        addZohoToStore();
    }

    SettingsViewModel &makeSettings()
    {
        settingsViewModel = std::make_unique<SettingsViewModel>(*store, *settings, setup);
        settingsViewModel->setZohoAuth(auth.get());
        return *settingsViewModel;
    }

    // A window of `size` (grown with the desktop's text) showing `qmlFile` of the module at `modulePath`.
    std::unique_ptr<QQuickView> showWindow(const QString &modulePath, QObject *model, const QSize &size)
    {
        if (!engine) {
            engine = std::make_unique<QQmlEngine>();
            engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        }
        auto window = std::make_unique<QQuickView>(engine.get(), nullptr);
        window->setResizeMode(QQuickView::SizeRootObjectToView);
        window->setInitialProperties({{QStringLiteral("viewModel"), QVariant::fromValue(model)}});
        window->setSource(QUrl(QStringLiteral("qrc:/qt/qml/") + modulePath));
        for (const QQmlError &error : window->errors())
            qWarning("%s", qPrintable(error.toString()));
        window->resize(Theme::instance()->scaled(size));
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("the window was not exposed");
        window->requestActivate();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("the window did not become active");
        return window;
    }

    QQuickView &showSettings()
    {
        if (!settingsViewModel)
            makeSettings();
        settingsView
            = showWindow(QStringLiteral("Brivane/Settings/SettingsView.qml"), settingsViewModel.get(), QSize(420, 480));
        return *settingsView;
    }

    QQuickView &showOnboarding()
    {
        onboarding = std::make_unique<OnboardingViewModel>(*store, *settings);
        onboardingView
            = showWindow(QStringLiteral("Brivane/Onboarding/OnboardingView.qml"), onboarding.get(), QSize(480, 540));
        return *onboardingView;
    }

    static QQuickItem *itemIn(QQuickView &window, const QString &objectName)
    {
        QQuickItem *hidden = nullptr;
        QQuickItem *found = findItem(window.rootObject(), objectName, &hidden);
        return found ? found : hidden;
    }

    SetupLauncher setup;
    std::unique_ptr<SettingsViewModel> settingsViewModel;
    std::unique_ptr<QQuickView> settingsView;
    std::unique_ptr<OnboardingViewModel> onboarding;
    std::unique_ptr<QQuickView> onboardingView;
};

} // namespace TestSupport
