// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A popover over real calendars in a temporary folder, optionally with
// Zoho played by the fake server, at a fixed moment; its QML loaded in a
// window when a test wants to drive it.
#include "TestSupport.h"
#include "ZohoTestSupport.h"

#include "calendar/CalendarStore.h"
#include "calendar/DesktopLauncher.h"
#include "calendar/LocalFolderProvider.h"
#include "popover/PopoverViewModel.h"
#include "resources/Theme.h"
#include "settings/AppSettings.h"
#include "zoho/ZohoAuthManager.h"
#include "zoho/ZohoCalendarManager.h"
#include "zoho/ZohoKeychain.h"
#include "zoho/ZohoProvider.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>

namespace TestSupport {

class RecordingLauncher final : public DesktopLauncher
{
public:
    void openUrl(const QUrl &url) override { urls.append(url); }
    bool openCalendarApp(const QDate &day) override
    {
        calendarDays.append(day);
        return calendarAppStarts;
    }
    bool hasCalendarApp() const override { return calendarAppInstalled; }

    QList<QUrl> urls;
    QList<QDate> calendarDays; // invalid: opened without a day, asked for whether it started or not
    bool calendarAppInstalled = true;
    bool calendarAppStarts = true;
};

class PopoverFixture
{
public:
    explicit PopoverFixture(const QDateTime &now, const QTimeZone &zone = QTimeZone("Europe/Berlin"))
        : clock(now, zone)
    {
        root = QDir(dir.path()).canonicalPath() + QStringLiteral("/calendars");
        settings = std::make_unique<AppSettings>(dir.path() + QStringLiteral("/brivane.conf"));
    }
    ~PopoverFixture()
    {
        view.reset();
        viewModel.reset();
    }

    // A calendar of the "Local" account beside the first-run "Personal" one.
    QString addCalendar(const QString &folder, const QString &title, const QString &color)
    {
        const QString path = root + QStringLiteral("/local/") + folder;
        writeFile(path + QStringLiteral("/displayname"), title.toUtf8());
        if (!color.isEmpty())
            writeFile(path + QStringLiteral("/color"), color.toUtf8());
        return path;
    }
    void addEvent(const QString &folder, const QString &uid, const QByteArray &lines)
    {
        writeFile(root + QStringLiteral("/local/") + folder + QLatin1Char('/') + uid + QStringLiteral(".ics"),
            singleEvent("UID:" + uid.toUtf8() + "\r\n" + lines));
    }
    // A subscribed calendar: one .ics file in the account folder, read-only.
    void addReadOnlyEvent(const QString &fileName, const QString &uid, const QByteArray &lines)
    {
        writeFile(root + QStringLiteral("/local/") + fileName, singleEvent("UID:" + uid.toUtf8() + "\r\n" + lines));
    }
    QString calendarId(const QString &folder) const
    {
        for (const CalendarInfo &calendar : store->calendars()) {
            if (calendar.identifier.endsWith(QStringLiteral("/local/") + folder))
                return calendar.identifier;
        }
        return {};
    }
    QStringList icsFiles(const QString &folder) const
    {
        return QDir(root + QStringLiteral("/local/") + folder).entryList({QStringLiteral("*.ics")}, QDir::Files);
    }

    CalendarStore &startStore()
    {
        store = std::make_unique<CalendarStore>();
        provider = new LocalFolderProvider(root, {}, clock);
        store->addProvider(provider);
        provider->start();
        if (!store->waitUntilLoaded(10000))
            qFatal("the store did not load");
        return *store;
    }

    // Zoho connected through the fake server, its first sync done.
    void connectZoho(const QJsonArray &calendars, const QHash<QString, QJsonArray> &events)
    {
        server = std::make_unique<FakeZohoServer>();
        if (!server->start())
            qFatal("the fake Zoho server did not start");
        server->setCalendars(calendars);
        for (auto it = events.begin(); it != events.end(); ++it)
            server->setEvents(it.key(), it.value());
        secrets = std::make_unique<MemorySecretStore>();
        keychain = std::make_unique<ZohoKeychain>(*secrets);
        network = std::make_unique<QNetworkAccessManager>();
        const QUrl url = server->url();
        auth = std::make_unique<ZohoAuthManager>(*keychain, *network, clock, [url] { return url; });
        zoho = std::make_unique<ZohoCalendarManager>(*auth, *network, clock, [url] { return url; });
        addZohoToStore();
        server->addCode(QStringLiteral("code"));
        auth->exchangeCode(QStringLiteral("code"));
        if (!waitFor([this] { return auth->isConnected(); }, 10000))
            qFatal("no connection to the fake Zoho server");
        bool synced = false;
        zoho->sync([&synced] { synced = true; });
        if (!waitFor([&synced] { return synced; }, 15000))
            qFatal("the Zoho sync did not finish");
        QCoreApplication::processEvents(); // the provider's announcement
    }

    // The Zoho manager's calendars among the store's, as the application
    // has them once its Zoho services are up.
    void addZohoToStore()
    {
        if (!store || !zoho)
            return;
        zohoProvider = new ZohoProvider(*zoho);
        store->addProvider(zohoProvider);
        zohoProvider->start();
    }

    PopoverViewModel &makeViewModel()
    {
        viewModel = std::make_unique<PopoverViewModel>(*store, *settings, clock, launcher);
        return *viewModel;
    }

    // The popover's QML in a 320 × 620 window (larger with larger desktop
    // text), shown and drawn once.
    QQuickView &showView()
    {
        if (!viewModel)
            makeViewModel();
        engine = std::make_unique<QQmlEngine>();
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        view = std::make_unique<QQuickView>(engine.get(), nullptr);
        view->setResizeMode(QQuickView::SizeRootObjectToView);
        view->setInitialProperties({{QStringLiteral("viewModel"), QVariant::fromValue(viewModel.get())}});
        view->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Brivane/Popover/MenuBarPopoverView.qml")));
        for (const QQmlError &error : view->errors())
            qWarning("%s", qPrintable(error.toString()));
        view->resize(Theme::instance()->scaled(QSize(320, 620)));
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            qFatal("the popover window was not exposed");
        view->requestActivate();
        if (!QTest::qWaitForWindowActive(view.get()))
            qWarning("the popover window did not become active");
        viewModel->appeared();
        return *view;
    }

    // The sheet has come in (or gone) and the spring has settled.
    bool sheetSettled(bool shown) const
    {
        QQuickItem *content = view->rootObject();
        return waitFor([&] { return content->property("sheetProgress").toReal() == (shown ? 1.0 : 0.0); });
    }

    // The item named `objectName`, visible ones first (delegates are not
    // QObject children, so the item tree is searched).
    QQuickItem *item(const QString &objectName) const
    {
        QQuickItem *hidden = nullptr;
        QQuickItem *found = findItem(view->rootObject(), objectName, &hidden);
        return found ? found : hidden;
    }
    static QQuickItem *findItem(QQuickItem *from, const QString &objectName, QQuickItem **hidden)
    {
        if (from->objectName() == objectName) {
            if (from->isVisible())
                return from;
            if (!*hidden)
                *hidden = from;
        }
        for (QQuickItem *child : from->childItems()) {
            if (QQuickItem *found = findItem(child, objectName, hidden))
                return found;
        }
        return nullptr;
    }

    QTemporaryDir dir;
    QString root;
    FixedClock clock;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<CalendarStore> store;
    LocalFolderProvider *provider = nullptr;
    RecordingLauncher launcher;

    std::unique_ptr<FakeZohoServer> server;
    std::unique_ptr<MemorySecretStore> secrets;
    std::unique_ptr<ZohoKeychain> keychain;
    std::unique_ptr<QNetworkAccessManager> network;
    std::unique_ptr<ZohoAuthManager> auth;
    std::unique_ptr<ZohoCalendarManager> zoho;
    ZohoProvider *zohoProvider = nullptr; // owned by the store

    std::unique_ptr<PopoverViewModel> viewModel;
    std::unique_ptr<QQmlEngine> engine;
    std::unique_ptr<QQuickView> view;
};

// The middle of an item, in its window's coordinates.
inline QPoint centreOf(const QQuickItem *item)
{
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

} // namespace TestSupport
