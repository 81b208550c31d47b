// SPDX-License-Identifier: GPL-3.0-or-later
// The status item as a StatusNotifierItem, seen by a watcher and a panel
// host of the test's own on a private session bus (tests/with_session_bus.sh):
// registration, what the panel reads, the label following the title, the
// clicks, the menu the panel draws, and a panel that goes away and returns.
#define BRIVANE_TEST_APPLICATION QApplication
#include "TestSupport.h"

#include "app/AppDelegate.h"
#include "app/DBusMenuExporter.h"
#include "app/PanelStatusItem.h"
#include "app/PopoverWindow.h"
#include "app/SniStatusItem.h"
#include "app/StoreSetup.h"
#include "app/TrayStatusItem.h"
#include "resources/SymbolIcons.h"
#include "settings/AppSettings.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QMenu>
#include <QMutex>
#include <QQuickView>
#include <QScreen>
#include <QThread>

using namespace TestSupport;

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString ItemPath = QStringLiteral("/StatusNotifierItem");
const QString ItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString MenuPath = QStringLiteral("/MenuBar");
const QString MenuInterface = QStringLiteral("com.canonical.dbusmenu");

// A StatusNotifierWatcher as a panel runs it: items and hosts register,
// items whose bus name goes away are dropped. It answers on its own
// connection and thread, as another process would.
class TestWatcher : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    QStringList registeredItems() const
    {
        QMutexLocker lock(&m_mutex);
        return m_items;
    }
    // Every registration, also of items that have left since.
    QStringList everRegistered() const
    {
        QMutexLocker lock(&m_mutex);
        return m_everRegistered;
    }
    bool isHostRegistered() const
    {
        QMutexLocker lock(&m_mutex);
        return m_hostRegistered;
    }
    static int protocolVersion() { return 0; }
    void setRefusingItems(bool refuse)
    {
        QMutexLocker lock(&m_mutex);
        m_refuseItems = refuse;
    }

    // A watcher that takes the name over comes with its panel's host.
    void join(const QString &connectionName, bool takeOver)
    {
        m_connectionName = connectionName;
        m_hostRegistered = takeOver;
        m_bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName));
        m_bus->registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
            QDBusConnection::ExportScriptableContents | QDBusConnection::ExportAllProperties);
        m_bus->interface()->registerService(WatcherService,
            takeOver ? QDBusConnectionInterface::ReplaceExistingService : QDBusConnectionInterface::DontQueueService,
            QDBusConnectionInterface::AllowReplacement);
        m_names = new QDBusServiceWatcher(QString(), *m_bus, QDBusServiceWatcher::WatchForUnregistration, this);
        connect(m_names, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString &name) {
            {
                QMutexLocker lock(&m_mutex);
                m_items.removeAll(name);
            }
            m_names->removeWatchedService(name);
            emit StatusNotifierItemUnregistered(name);
        });
    }
    void leave()
    {
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }

public slots:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString &service)
    {
        {
            QMutexLocker lock(&m_mutex);
            if (m_refuseItems) {
                sendErrorReply(QDBusError::AccessDenied, QStringLiteral("not today"));
                return;
            }
            m_everRegistered.append(service);
            if (!m_items.contains(service))
                m_items.append(service);
        }
        m_names->addWatchedService(service);
        emit StatusNotifierItemRegistered(service);
    }
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString &)
    {
        {
            QMutexLocker lock(&m_mutex);
            m_hostRegistered = true;
        }
        emit StatusNotifierHostRegistered();
    }

signals:
    Q_SCRIPTABLE void StatusNotifierItemRegistered(const QString &service);
    Q_SCRIPTABLE void StatusNotifierItemUnregistered(const QString &service);
    Q_SCRIPTABLE void StatusNotifierHostRegistered();

private:
    mutable QMutex m_mutex;
    QStringList m_items;
    QStringList m_everRegistered;
    bool m_hostRegistered = false;
    bool m_refuseItems = false;
    QString m_connectionName;
    std::unique_ptr<QDBusConnection> m_bus;
    QDBusServiceWatcher *m_names = nullptr;
};

// The watcher running on its thread; destroying it is the panel going away.
class RunningWatcher
{
public:
    enum Start { Fresh, TakingOver };
    explicit RunningWatcher(const QString &connectionName, Start start = Fresh)
    {
        m_watcher = new TestWatcher;
        m_watcher->moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            m_watcher, [this, connectionName, start] { m_watcher->join(connectionName, start == TakingOver); },
            Qt::BlockingQueuedConnection);
    }
    ~RunningWatcher()
    {
        QMetaObject::invokeMethod(
            m_watcher,
            [this] {
                m_watcher->leave();
                delete m_watcher;
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    TestWatcher *operator->() const { return m_watcher; }

private:
    QThread m_thread;
    TestWatcher *m_watcher;
};

// The panel's side: registers as the host, reads the item, clicks it and
// records what the item tells.
class TestHost : public QObject
{
    Q_OBJECT
public:
    TestHost()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("host")))
    { }
    ~TestHost() override { QDBusConnection::disconnectFromBus(QStringLiteral("host")); }

    // Calls that let the program, on this same thread, answer meanwhile.
    QDBusMessage call(const QString &service, const QString &path, const QString &interface, const QString &method,
        const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::BlockWithGui, 5000);
    }
    bool registerAsHost()
    {
        return call(WatcherService, QStringLiteral("/StatusNotifierWatcher"), WatcherService,
                   QStringLiteral("RegisterStatusNotifierHost"), {QStringLiteral("org.kde.StatusNotifierHost-1")})
                   .type()
            == QDBusMessage::ReplyMessage;
    }
    QVariantMap properties(const QString &service)
    {
        const QDBusMessage reply = call(service, ItemPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("GetAll"), {ItemInterface});
        return reply.arguments().isEmpty() ? QVariantMap() : qdbus_cast<QVariantMap>(reply.arguments().first());
    }
    void listenTo(const QString &service)
    {
        for (const char *name : {"NewIcon", "NewToolTip", "NewTitle", "NewStatus", "XAyatanaNewLabel"})
            m_bus.connect(service, ItemPath, ItemInterface, QLatin1String(name), this, SLOT(record(QDBusMessage)));
        m_bus.connect(service, ItemPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("PropertiesChanged"), this, SLOT(record(QDBusMessage)));
        m_bus.connect(
            service, MenuPath, MenuInterface, QStringLiteral("LayoutUpdated"), this, SLOT(record(QDBusMessage)));
    }
    QList<QDBusMessage> received(const QString &member) const
    {
        QList<QDBusMessage> found;
        for (const QDBusMessage &message : m_received) {
            if (message.member() == member)
                found.append(message);
        }
        return found;
    }
    // The labels the item announced, in order, each checked against its guide.
    QStringList labels() const
    {
        QStringList labels;
        for (const QDBusMessage &message : received(QStringLiteral("XAyatanaNewLabel"))) {
            const QVariantList arguments = message.arguments();
            labels.append(arguments.value(0).toString() == arguments.value(1).toString()
                    ? arguments.value(0).toString()
                    : QStringLiteral("guide differs"));
        }
        return labels;
    }
    QStringList busNames() const { return m_bus.interface()->registeredServiceNames().value(); }

private slots:
    void record(const QDBusMessage &message) { m_received.append(message); }

private:
    QDBusConnection m_bus;
    QList<QDBusMessage> m_received;
};

// What happened to the tray icons the status item made.
struct TrayLog
{
    int made = 0;
    int alive = 0;
    QString icon;
    int day = 0;
    QString title;
};

class FakeTrayItem final : public StatusItem
{
public:
    explicit FakeTrayItem(TrayLog &log)
        : m_log(log)
    {
        ++m_log.made;
        ++m_log.alive;
    }
    ~FakeTrayItem() override { --m_log.alive; }
    void setIcon(const QString &symbolName, int dayOfMonth) override
    {
        m_log.icon = symbolName;
        m_log.day = dayOfMonth;
    }
    void setTitle(const QString &title) override { m_log.title = title; }
    QString title() const override { return m_log.title; }
    bool isAvailable() const override { return true; }
    void showMenu(QMenu *, const QPoint &) override { }
    QRect geometry() const override { return {}; }

private:
    TrayLog &m_log;
};

QStringList itemNames(const QStringList &busNames)
{
    return busNames.filter(QRegularExpression(QStringLiteral("^org\\.kde\\.StatusNotifierItem-")));
}

} // namespace

class SniTest : public QObject
{
    Q_OBJECT

    TrayLog m_tray;
    QTemporaryDir m_config;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<FixedClock> m_clock;

    PanelStatusItem::TrayItemFactory fakeTray()
    {
        return [this] { return std::make_unique<FakeTrayItem>(m_tray); };
    }

    // The one item the watcher knows, once it is there.
    static QString registeredItem(const RunningWatcher &watcher)
    {
        if (!waitFor([&] { return watcher->registeredItems().size() == 1; }))
            return {};
        return watcher->registeredItems().constFirst();
    }

    std::unique_ptr<AppDelegate> launchDelegate()
    {
        m_settings->setOnboardingComplete(true);
        auto store = createCalendarStore(*m_settings, *m_clock);
        store->waitUntilLoaded();
        auto delegate = std::make_unique<AppDelegate>(*m_settings, *m_clock, std::move(store),
            std::make_unique<PanelStatusItem>(QDBusConnection::sessionBus(), fakeTray()));
        delegate->applicationDidFinishLaunching();
        return delegate;
    }

private slots:
    void initTestCase()
    {
        if (!TestSupport::onPrivateBus())
            QFAIL("run through tests/with_session_bus.sh: this test owns names on the session bus");
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        DBusMenuTypes::registerTypes();
    }

    void init()
    {
        m_tray = {};
        QFile::remove(m_config.path() + "/brivane.conf");
        QDir(defaultCalendarRoot()).removeRecursively();
        m_settings = std::make_unique<AppSettings>(m_config.path() + "/brivane.conf");
        m_clock = std::make_unique<FixedClock>(
            QDateTime(QDate(2026, 3, 25), QTime(10, 0), QTimeZone("Europe/Berlin")), QTimeZone("Europe/Berlin"));
    }

    void registersWithTheWatcherAndShowsWhatThePanelReads()
    {
        RunningWatcher watcher(QStringLiteral("watcher"));
        TestHost host;
        QVERIFY(host.registerAsHost());
        PanelStatusItem item(QDBusConnection::sessionBus(), fakeTray());
        QCOMPARE(item.mode(), PanelStatusItem::Mode::StatusNotifier); // decided before the first icon
        QVERIFY(item.isAvailable());
        item.setTitle(QString("Standup \u00B7 in 5m"));
        item.setIcon(QStringLiteral("calendar"), 25);

        const QString service = registeredItem(watcher);
        QVERIFY(service.startsWith(QLatin1String("org.kde.StatusNotifierItem-")));
        QCOMPARE(m_tray.made, 0);

        const QVariantMap properties = host.properties(service);
        QCOMPARE(properties.value("Id").toString(), QStringLiteral("brivane"));
        QCOMPARE(properties.value("Title").toString(), QStringLiteral("brivane"));
        QCOMPARE(properties.value("Category").toString(), QStringLiteral("ApplicationStatus"));
        QCOMPARE(properties.value("Status").toString(), QStringLiteral("Active"));
        QCOMPARE(properties.value("ItemIsMenu").toBool(), false); // a left click is Activate, not the menu
        QCOMPARE(properties.value("Menu").value<QDBusObjectPath>().path(), MenuPath);
        QCOMPARE(properties.value("XAyatanaLabel").toString(), QString("Standup \u00B7 in 5m"));
        QCOMPARE(properties.value("XAyatanaLabelGuide").toString(), QString("Standup \u00B7 in 5m"));
        // The day drawn on the page goes by pixels alone: hosts prefer a name.
        QCOMPARE(properties.value("IconName").toString(), QString());

        // Pixmaps: (iiay), four bytes a pixel, alpha first, big-endian.
        const QDBusArgument pixmaps = properties.value("IconPixmap").value<QDBusArgument>();
        QCOMPARE(pixmaps.currentSignature(), QStringLiteral("a(iiay)"));
        const auto list = qdbus_cast<SniPixmapList>(pixmaps);
        QVERIFY(!list.isEmpty());
        bool checkedAPixel = false;
        for (const SniPixmap &pixmap : list) {
            QVERIFY(pixmap.width >= 16 && pixmap.width <= 64);
            QCOMPARE(pixmap.argb.size(), pixmap.width * pixmap.height * 4);
            const QImage image = SymbolIcons::calendarDayIcon(25)
                                     .pixmap(QSize(pixmap.width, pixmap.height))
                                     .toImage()
                                     .convertToFormat(QImage::Format_ARGB32);
            for (int at = 0; at < pixmap.width * pixmap.height && !checkedAPixel; ++at) {
                const QRgb pixel = image.pixel(at % pixmap.width, at / pixmap.width);
                if (qAlpha(pixel) != 255 || qRed(pixel) == qBlue(pixel))
                    continue; // an opaque pixel that tells red from blue
                const auto *bytes = reinterpret_cast<const uchar *>(pixmap.argb.constData()) + at * 4;
                QCOMPARE(bytes[0], uchar(255));
                QCOMPARE(bytes[1], uchar(qRed(pixel)));
                QCOMPARE(bytes[2], uchar(qGreen(pixel)));
                QCOMPARE(bytes[3], uchar(qBlue(pixel)));
                checkedAPixel = true;
            }
        }
        QVERIFY(checkedAPixel);

        const QDBusArgument toolTip = properties.value("ToolTip").value<QDBusArgument>();
        QCOMPARE(toolTip.currentSignature(), QStringLiteral("(sa(iiay)ss)"));
        QCOMPARE(qdbus_cast<SniToolTip>(toolTip).title, QString("Standup \u00B7 in 5m"));

        const QDBusMessage introspection
            = host.call(service, ItemPath, "org.freedesktop.DBus.Introspectable", "Introspect");
        const QString xml = introspection.arguments().value(0).toString();
        QVERIFY(xml.contains(QLatin1String(R"x(<property name="IconPixmap" type="a(iiay)" access="read")x")));
        QVERIFY(xml.contains(QLatin1String(R"x(<signal name="XAyatanaNewLabel">)x")));

        // The next day turns the page; without a day the theme's symbol
        // goes by name again.
        item.setIcon(QStringLiteral("calendar"), 26);
        const auto nextDay
            = qdbus_cast<SniPixmapList>(host.properties(service).value("IconPixmap").value<QDBusArgument>());
        QCOMPARE(nextDay.size(), list.size());
        QVERIFY(nextDay.first().argb != list.first().argb);
        item.setIcon(QStringLiteral("calendar"), 0);
        QCOMPARE(host.properties(service).value("IconName").toString(),
            SymbolIcons::themeIconName(QStringLiteral("calendar")));
    }

    void theLabelFollowsTheTitle()
    {
        RunningWatcher watcher(QStringLiteral("watcher"));
        TestHost host;
        QVERIFY(host.registerAsHost());
        PanelStatusItem item(QDBusConnection::sessionBus(), fakeTray());
        item.setTitle(QStringLiteral("Wed 25 Mar"));
        item.setIcon(QStringLiteral("calendar"), 25);
        const QString service = registeredItem(watcher);
        QVERIFY(!service.isEmpty());
        host.listenTo(service);
        QCOMPARE(host.properties(service).value("XAyatanaLabel").toString(), QStringLiteral("Wed 25 Mar"));

        // Two changes within the same second both reach the panel, in order.
        item.setTitle(QString("Standup \u00B7 in 1m"));
        item.setTitle(QString("Standup \u00B7 in 0m"));
        QTRY_COMPARE(host.labels(), (QStringList {QString("Standup \u00B7 in 1m"), QString("Standup \u00B7 in 0m")}));
        QCOMPARE(host.properties(service).value("XAyatanaLabel").toString(), QString("Standup \u00B7 in 0m"));
        QCOMPARE(host.received("NewToolTip").size(), 2);
        const QList<QDBusMessage> changes = host.received("PropertiesChanged");
        QCOMPARE(changes.size(), 2);
        QCOMPARE(qdbus_cast<QVariantMap>(changes.last().arguments().value(1)).value("XAyatanaLabel").toString(),
            QString("Standup \u00B7 in 0m"));

        // The timer's refresh with nothing new says nothing; the property
        // read is a round trip after which any signal would have arrived.
        item.setTitle(QString("Standup \u00B7 in 0m"));
        item.setIcon(QStringLiteral("calendar"), 25);
        host.properties(service);
        QCOMPARE(host.labels().size(), 2);
        QCOMPARE(host.received("NewIcon").size(), 0);

        // No title: an empty label, the icon alone.
        item.setTitle(QString());
        QTRY_COMPARE(host.labels().size(), 3);
        QCOMPARE(host.labels().last(), QString());
        QCOMPARE(host.properties(service).value("XAyatanaLabel").toString(), QString());
    }

    void theDelegatesItemShowsItsTitleAndTogglesThePopoverWhereThePanelWasClicked()
    {
        writeFile(defaultCalendarRoot() + "/local/personal/long.ics",
            singleEvent("UID:long\r\nSUMMARY:Quarterly planning with the whole team\r\n"
                        "DTSTART;TZID=Europe/Berlin:20260325T101500\r\nDTEND;TZID=Europe/Berlin:20260325T110000\r\n"));
        RunningWatcher watcher(QStringLiteral("watcher"));
        TestHost host;
        QVERIFY(host.registerAsHost());
        auto delegate = launchDelegate();
        const QString service = registeredItem(watcher);
        QVERIFY(!service.isEmpty());
        // The label is the title as the delegate cuts it.
        QCOMPARE(host.properties(service).value("XAyatanaLabel").toString(),
            QString("Quarterly planning wit\u2026 \u00B7 in 15m"));
        PopoverWindow *popover = delegate->popover();

        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QPoint click(screen.right() - 60, screen.top() + 12);
        host.call(service, ItemPath, ItemInterface, "Activate", {click.x(), click.y()});
        QTRY_VERIFY(popover->isVisible());
        // Under the 25 px band the click marks, at the item's end of the screen.
        QCOMPARE(
            popover->y(), qMax(screen.top() + 25 + 4, QGuiApplication::primaryScreen()->availableGeometry().top()));
        QVERIFY(popover->x() <= click.x() && popover->x() + popover->width() > click.x());

        // The middle button and the wheel mean nothing here.
        host.call(service, ItemPath, ItemInterface, "SecondaryActivate", {click.x(), click.y()});
        host.call(service, ItemPath, ItemInterface, "Scroll", {3, QStringLiteral("vertical")});
        QVERIFY(popover->isVisible());
        QVERIFY(!delegate->contextMenu() || !delegate->contextMenu()->isVisible());

        host.call(service, ItemPath, ItemInterface, "Activate", {click.x(), click.y()});
        QTRY_VERIFY(!popover->isVisible());

        // A panel that does not draw menus asks the item to show its own.
        host.call(service, ItemPath, ItemInterface, "ContextMenu", {click.x(), click.y()});
        QTRY_VERIFY(delegate->contextMenu() && delegate->contextMenu()->isVisible());
        QVERIFY(!popover->isVisible());
        delegate->contextMenu()->close();
    }

    void thePanelDrawsTheMenuAndItsClicksReachTheActions()
    {
        RunningWatcher watcher(QStringLiteral("watcher"));
        TestHost host;
        QVERIFY(host.registerAsHost());
        auto delegate = launchDelegate();
        const QString service = registeredItem(watcher);
        QVERIFY(!service.isEmpty());

        // The layout is there before any click.
        const QDBusMessage reply = host.call(service, MenuPath, MenuInterface, "GetLayout", {0, -1, QStringList()});
        QCOMPARE(reply.signature(), QStringLiteral("u(ia{sv}av)"));
        const uint revision = reply.arguments().value(0).toUInt();
        const auto root = qdbus_cast<DBusMenuLayoutItem>(reply.arguments().value(1));
        QCOMPARE(root.id, 0);
        QCOMPARE(root.properties.value("children-display").toString(), QStringLiteral("submenu"));
        QCOMPARE(root.children.size(), 5);
        // No meeting to join: the item is there, greyed out.
        const DBusMenuLayoutItem join = root.children.at(0);
        QCOMPARE(join.properties.value("label").toString(), QStringLiteral("Join Next Meeting"));
        QCOMPARE(join.properties.value("enabled"), QVariant(false));
        const DBusMenuLayoutItem settings = root.children.at(2);
        const DBusMenuLayoutItem separator = root.children.at(3);
        const DBusMenuLayoutItem quit = root.children.at(4);
        QCOMPARE(settings.properties.value("label").toString(), QString("Settings\u2026"));
        QCOMPARE(separator.properties.value("type").toString(), QStringLiteral("separator"));
        QCOMPARE(quit.properties.value("label").toString(), QStringLiteral("Quit brivane"));

        // Opening it again builds it again; the same items keep their numbers.
        QCOMPARE(host.call(service, MenuPath, MenuInterface, "AboutToShow", {0}).arguments().value(0).toBool(), false);
        QCOMPARE(host.call(service, MenuPath, MenuInterface, "GetLayout", {0, -1, QStringList()})
                     .arguments()
                     .value(0)
                     .toUInt(),
            revision);
        const QDBusMessage group = host.call(service, MenuPath, MenuInterface, "GetGroupProperties",
            {QVariant::fromValue(QList<int> {quit.id, 99}), QStringList {"label"}});
        const auto groupItems = qdbus_cast<DBusMenuItemPropertiesList>(group.arguments().value(0));
        QCOMPARE(groupItems.size(), 1); // no item 99
        QCOMPARE(groupItems.first().properties, (QVariantMap {{"label", "Quit brivane"}}));

        host.call(service, MenuPath, MenuInterface, "Event",
            {settings.id, "clicked", QVariant::fromValue(QDBusVariant(QString())), 0u});
        QTRY_VERIFY(delegate->settingsWindow() && delegate->settingsWindow()->isVisible());

        QSignalSpy quitRequested(delegate.get(), &AppDelegate::quitRequested);
        host.call(service, MenuPath, MenuInterface, "Event",
            {quit.id, "clicked", QVariant::fromValue(QDBusVariant(QString())), 0u});
        QTRY_COMPARE(quitRequested.size(), 1);

        const QDBusMessage unknown = host.call(
            service, MenuPath, MenuInterface, "Event", {99, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u});
        QCOMPARE(unknown.type(), QDBusMessage::ErrorMessage);
        const DBusMenuEventList events {{99, "clicked", QDBusVariant(0), 0}, {quit.id, "hovered", QDBusVariant(0), 0}};
        const QDBusMessage errors
            = host.call(service, MenuPath, MenuInterface, "EventGroup", {QVariant::fromValue(events)});
        QCOMPARE(qdbus_cast<QList<int>>(errors.arguments().value(0)), QList<int> {99});
        QCOMPARE(quitRequested.size(), 1); // hovering is not choosing
    }

    void aChangedMenuGetsANewRevision()
    {
        TestHost host;
        QMenu first;
        first.addAction(QStringLiteral("&Open_now"));
        QMenu second;
        second.addAction(QStringLiteral("&Open_now"))->setEnabled(false);
        QMenu *next = &first;
        DBusMenuExporter exporter(QDBusConnection::sessionBus());
        exporter.setMenuProvider([&next] { return next; });
        QVERIFY(exporter.publish());
        const QString service = QDBusConnection::sessionBus().baseService();
        host.listenTo(service);

        QDBusMessage layout = host.call(service, MenuPath, MenuInterface, "GetLayout", {0, 1, QStringList()});
        const uint revision = layout.arguments().value(0).toUInt();
        DBusMenuLayoutItem item = qdbus_cast<DBusMenuLayoutItem>(layout.arguments().value(1)).children.value(0);
        QCOMPARE(item.properties.value("label").toString(), QStringLiteral("_Open__now"));
        QVERIFY(!item.properties.contains("enabled"));

        next = &second;
        QCOMPARE(host.call(service, MenuPath, MenuInterface, "AboutToShow", {0}).arguments().value(0).toBool(), true);
        QTRY_COMPARE(host.received("LayoutUpdated").size(), 1);
        QCOMPARE(host.received("LayoutUpdated").first().arguments().value(0).toUInt(), revision + 1);
        layout = host.call(service, MenuPath, MenuInterface, "GetLayout", {item.id, 0, QStringList {"enabled"}});
        QCOMPARE(layout.arguments().value(0).toUInt(), revision + 1);
        item = qdbus_cast<DBusMenuLayoutItem>(layout.arguments().value(1));
        QCOMPARE(item.properties, (QVariantMap {{"enabled", false}}));
        QVERIFY(item.children.isEmpty());
        QCOMPARE(host.call(service, MenuPath, MenuInterface, "GetLayout", {7, 0, QStringList()}).type(),
            QDBusMessage::ErrorMessage);
    }

    void followsThePanelAcrossARestart()
    {
        auto watcher = std::make_unique<RunningWatcher>(QStringLiteral("watcher-1"));
        TestHost host;
        QVERIFY(host.registerAsHost());
        PanelStatusItem item(QDBusConnection::sessionBus(), fakeTray());
        QSignalSpy modes(&item, &PanelStatusItem::modeChanged);
        item.setTitle(QString("Lunch \u00B7 12:30"));
        item.setIcon(QStringLiteral("calendar"), 25);
        const QString first = registeredItem(*watcher);
        QVERIFY(!first.isEmpty());

        // The panel goes away: the tray icon stands in, with what was shown.
        watcher.reset();
        QTRY_COMPARE(item.mode(), PanelStatusItem::Mode::Tray);
        QCOMPARE(m_tray.alive, 1);
        QCOMPARE(m_tray.icon, QStringLiteral("calendar"));
        QCOMPARE(m_tray.day, 25);
        QCOMPARE(m_tray.title, QString("Lunch \u00B7 12:30"));
        QVERIFY(!host.busNames().contains(first)); // our item left the bus
        item.setTitle(QString("Lunch \u00B7 in 5m"));
        QCOMPARE(m_tray.title, QString("Lunch \u00B7 in 5m"));

        // It comes back, and its host registers a moment later.
        watcher = std::make_unique<RunningWatcher>(QStringLiteral("watcher-2"));
        QVERIFY(host.registerAsHost());
        QTRY_COMPARE(item.mode(), PanelStatusItem::Mode::StatusNotifier);
        QCOMPARE(m_tray.alive, 0);
        const QString second = registeredItem(*watcher);
        QVERIFY(!second.isEmpty());
        QCOMPARE(itemNames(host.busNames()), QStringList {second});
        QCOMPARE(host.properties(second).value("XAyatanaLabel").toString(), QString("Lunch \u00B7 in 5m"));
        QCOMPARE(modes.size(), 2);
    }

    void aWatcherThatTakesTheNameOverHearsOfTheItem()
    {
        RunningWatcher first(QStringLiteral("watcher-1"));
        TestHost host;
        QVERIFY(host.registerAsHost());
        PanelStatusItem item(QDBusConnection::sessionBus(), fakeTray());
        item.setIcon(QStringLiteral("calendar"), 25);
        const QString service = registeredItem(first);
        QVERIFY(!service.isEmpty());

        // No gap in which the name has no owner: the item stays, and registers again.
        RunningWatcher second(QStringLiteral("watcher-2"), RunningWatcher::TakingOver);
        QCOMPARE(registeredItem(second), service);
        QCOMPARE(item.mode(), PanelStatusItem::Mode::StatusNotifier);
        QCOMPARE(m_tray.made, 0);
    }

    void withoutAPanelTheTrayIconServesUntilOneComes()
    {
        PanelStatusItem item(QDBusConnection::sessionBus(), fakeTray());
        QCOMPARE(item.mode(), PanelStatusItem::Mode::Tray); // no watcher at all
        item.setIcon(QStringLiteral("calendar"), 25);
        QCOMPARE(m_tray.alive, 1);

        RunningWatcher watcher(QStringLiteral("watcher"));
        TestHost host;
        QVERIFY(host.registerAsHost());
        QTRY_COMPARE(item.mode(), PanelStatusItem::Mode::StatusNotifier);
        QVERIFY(!registeredItem(watcher).isEmpty());
        QCOMPARE(m_tray.alive, 0);
    }

    // On Wayland Qt's own tray icon is a StatusNotifierItem as well: there
    // the fallback shows none, and a panel that comes later lists ours alone.
    void theWaylandFallbackAddsNoItemOfQts()
    {
        RunningWatcher watcher(QStringLiteral("watcher"));
        PanelStatusItem item(
            QDBusConnection::sessionBus(), [] { return std::make_unique<TrayStatusItem>(false, nullptr); });
        item.setIcon(QStringLiteral("calendar"), 25);
        QCOMPARE(item.mode(), PanelStatusItem::Mode::Tray); // a watcher, but no panel hosts items yet
        auto *fallback = qobject_cast<TrayStatusItem *>(item.activeItem());
        QVERIFY(fallback);
        QVERIFY(!fallback->isIconShown());
        QVERIFY(!item.isAvailable());

        TestHost host;
        QVERIFY(host.registerAsHost());
        QTRY_COMPARE(item.mode(), PanelStatusItem::Mode::StatusNotifier);
        QVERIFY(!registeredItem(watcher).isEmpty()); // exactly one
        QCOMPARE(itemNames(host.busNames()).size(), 1);
    }

    void aWatcherThatRefusesTheItemLeavesTheTrayIcon()
    {
        RunningWatcher watcher(QStringLiteral("watcher"));
        watcher->setRefusingItems(true);
        TestHost host;
        QVERIFY(host.registerAsHost());
        PanelStatusItem item(QDBusConnection::sessionBus(), fakeTray());
        item.setIcon(QStringLiteral("calendar"), 25);
        QTRY_COMPARE(item.mode(), PanelStatusItem::Mode::Tray);
        QCOMPARE(m_tray.alive, 1);
        QCOMPARE(m_tray.icon, QStringLiteral("calendar"));
        QCOMPARE(itemNames(host.busNames()), QStringList());
    }

    // Qt's own tray icon speaks StatusNotifierItem too, if the first Qt
    // tray check of the process finds a panel that hosts items (Qt decides
    // once). It must never put an item beside ours. Only X11 has both kinds
    // of tray, so this runs on an X server of its own (ctest: tst_sni_x11).
    void qtsTrayIconNeverJoinsOurItem()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs X11: Qt's tray icon has only one kind elsewhere");
        auto watcher = std::make_unique<RunningWatcher>(QStringLiteral("watcher-1"));
        TestHost host;
        QVERIFY(host.registerAsHost());
        PanelStatusItem item(QDBusConnection::sessionBus(), [] { return std::make_unique<TrayStatusItem>(); });
        item.setTitle(QStringLiteral("Wed 25 Mar"));
        item.setIcon(QStringLiteral("calendar"), 25);
        QVERIFY(item.isAvailable()); // the start asks this, as the application does
        const QString first = registeredItem(*watcher);
        QVERIFY(!first.isEmpty());
        QCOMPARE(itemNames(host.busNames()), QStringList {first});

        watcher.reset();
        QTRY_COMPARE(item.mode(), PanelStatusItem::Mode::Tray);
        QVERIFY(qobject_cast<TrayStatusItem *>(item.activeItem()));
        QCOMPARE(itemNames(host.busNames()), QStringList());

        watcher = std::make_unique<RunningWatcher>(QStringLiteral("watcher-2"));
        QVERIFY(host.registerAsHost());
        QTRY_COMPARE(item.mode(), PanelStatusItem::Mode::StatusNotifier);
        const QString second = registeredItem(*watcher);
        QVERIFY(!second.isEmpty());
        QCOMPARE(itemNames(host.busNames()), QStringList {second});
        QCOMPARE((*watcher)->everRegistered(), QStringList {second});
    }
};

BRIVANE_TEST_MAIN(SniTest)
#include "tst_sni.moc"
