// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SniStatusItem.h"

#include "app/DBusMenuExporter.h"
#include "resources/SymbolIcons.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QScreen>

QDBusArgument &operator<<(QDBusArgument &argument, const SniPixmap &pixmap)
{
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.argb;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, SniPixmap &pixmap)
{
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.argb;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const SniToolTip &toolTip)
{
    argument.beginStructure();
    argument << toolTip.iconName << toolTip.iconPixmaps << toolTip.title << toolTip.description;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, SniToolTip &toolTip)
{
    argument.beginStructure();
    argument >> toolTip.iconName >> toolTip.iconPixmaps >> toolTip.title >> toolTip.description;
    argument.endStructure();
    return argument;
}

namespace {

const QString ItemId = QStringLiteral("brivane");

// The sizes panels pick from; they take the nearest one.
constexpr int PixmapSizes[] = {16, 22, 24, 32, 48, 64};

SniPixmapList pixmapsOf(const QIcon &icon)
{
    SniPixmapList pixmaps;
    QList<QSize> seen;
    for (int size : PixmapSizes) {
        const QImage image = icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull() || seen.contains(image.size()))
            continue;
        seen.append(image.size());
        SniPixmap pixmap {image.width(), image.height(), {}};
        pixmap.argb.reserve(image.width() * image.height() * 4);
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = line[x];
                pixmap.argb.append(char(qAlpha(pixel)));
                pixmap.argb.append(char(qRed(pixel)));
                pixmap.argb.append(char(qGreen(pixel)));
                pixmap.argb.append(char(qBlue(pixel)));
            }
        }
        pixmaps.append(pixmap);
    }
    return pixmaps;
}

int nextInstance()
{
    // Qt's tray icon names its items the same way from 1 on; ours never
    // take one of its names, even for the moment before it leaves.
    static int instance = 1000;
    return ++instance;
}

} // namespace

// The org.kde.StatusNotifierItem interface, with the Ayatana label.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ emptyText)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(SniPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyText)
    Q_PROPERTY(SniPixmapList OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ emptyText)
    Q_PROPERTY(SniPixmapList AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ emptyText)
    Q_PROPERTY(SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString XAyatanaLabel READ label)
    Q_PROPERTY(QString XAyatanaLabelGuide READ label)

public:
    explicit StatusNotifierItemAdaptor(SniStatusItem *item)
        : QDBusAbstractAdaptor(item)
        , m_item(item)
    { }

    static QString category() { return QStringLiteral("ApplicationStatus"); }
    static QString id() { return ItemId; }
    // The program's name; what it shows changes in the label and tooltip.
    static QString title() { return ItemId; }
    static QString status() { return QStringLiteral("Active"); }
    static int windowId() { return 0; }
    static QString emptyText() { return {}; }
    static SniPixmapList noPixmaps() { return {}; }
    QString iconName() const { return m_item->iconName(); }
    SniPixmapList iconPixmap() const { return m_item->iconPixmaps(); }
    SniToolTip toolTip() const { return m_item->toolTip(); }
    // A left click opens the popover (Activate); the menu is for the right one.
    static bool itemIsMenu() { return false; }
    static QDBusObjectPath menu() { return QDBusObjectPath(QLatin1String(DBusMenuExporter::ObjectPath)); }
    // The guide is the label itself: its width follows the title's.
    QString label() const { return m_item->title(); }

public slots:
    void Activate(int x, int y) { m_item->activate(x, y); }
    void ContextMenu(int x, int y) { m_item->contextMenu(x, y); }
    void SecondaryActivate(int, int) { }
    void Scroll(int, const QString &) { }

signals:
    // Title and Status never change; their signals are part of the interface.
    void NewTitle();
    void NewIcon();
    void NewToolTip();
    void NewStatus(const QString &status);
    void XAyatanaNewLabel(const QString &label, const QString &guide);

private:
    SniStatusItem *m_item;
};

SniStatusItem::SniStatusItem(const QDBusConnection &connection, QObject *parent)
    : StatusItem(parent)
    , m_connection(connection)
    , m_serviceName(QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                        .arg(QCoreApplication::applicationPid())
                        .arg(nextInstance()))
    , m_menu(new DBusMenuExporter(connection, this))
{
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<SniPixmapList>();
    qDBusRegisterMetaType<SniToolTip>();
    auto *adaptor = new StatusNotifierItemAdaptor(this);

    // Each change reaches the panel at once, as its own signal and as a
    // property change, whichever of the two the panel listens to.
    auto propertiesChanged = [this](const QVariantMap &changed) {
        if (!m_published)
            return;
        QDBusMessage message = QDBusMessage::createSignal(QLatin1String(ItemPath),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
        message << QLatin1String(ItemInterface) << changed << QStringList();
        m_connection.send(message);
    };
    connect(this, &SniStatusItem::iconChanged, adaptor, [this, adaptor, propertiesChanged] {
        if (!m_published)
            return;
        emit adaptor->NewIcon();
        emit adaptor->NewToolTip();
        propertiesChanged({{QStringLiteral("IconName"), m_iconName},
            {QStringLiteral("IconPixmap"), QVariant::fromValue(m_iconPixmaps)},
            {QStringLiteral("ToolTip"), QVariant::fromValue(toolTip())}});
    });
    connect(this, &SniStatusItem::titleChanged, adaptor, [this, adaptor, propertiesChanged] {
        if (!m_published)
            return;
        emit adaptor->XAyatanaNewLabel(m_title, m_title);
        emit adaptor->NewToolTip();
        propertiesChanged({{QStringLiteral("XAyatanaLabel"), m_title}, {QStringLiteral("XAyatanaLabelGuide"), m_title},
            {QStringLiteral("ToolTip"), QVariant::fromValue(toolTip())}});
    });
}

SniStatusItem::~SniStatusItem()
{
    if (!m_published)
        return;
    m_connection.unregisterObject(QLatin1String(ItemPath));
    // Gone from the bus, gone from the watcher's list.
    m_connection.unregisterService(m_serviceName);
}

void SniStatusItem::setIcon(const QString &symbolName, int dayOfMonth)
{
    if (symbolName == m_symbolName && dayOfMonth == m_dayOfMonth && m_published)
        return;
    const bool changed = symbolName != m_symbolName || dayOfMonth != m_dayOfMonth;
    m_symbolName = symbolName;
    m_dayOfMonth = dayOfMonth;
    const QIcon today = SymbolIcons::calendarDayIcon(dayOfMonth);
    // Hosts prefer a name to pixels: the drawn day goes without one, the
    // theme's symbol stands in only where no day is drawn.
    m_iconName = today.isNull() ? SymbolIcons::themeIconName(symbolName) : QString();
    m_iconPixmaps = pixmapsOf(today.isNull() ? SymbolIcons::icon(symbolName) : today);
    if (!m_published)
        publish();
    else if (changed)
        emit iconChanged();
}

void SniStatusItem::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit titleChanged();
}

SniToolTip SniStatusItem::toolTip() const
{
    return {m_iconName, {}, m_title, {}};
}

void SniStatusItem::setMenuProvider(MenuProvider provider)
{
    m_menu->setMenuProvider(std::move(provider));
}

void SniStatusItem::showMenu(QMenu *menu, const QPoint &globalPosition)
{
    menu->popup(globalPosition);
}

QPoint SniStatusItem::clickPoint(int x, int y) const
{
    // Some panels send 0,0 or a point of their own window; the pointer is
    // where the click was then.
    const QPoint point(x, y);
    if (!point.isNull() && QGuiApplication::screenAt(point))
        return point;
    return QCursor::pos();
}

void SniStatusItem::activate(int x, int y)
{
    emit clicked(Click::Left, clickPoint(x, y));
}

void SniStatusItem::contextMenu(int x, int y)
{
    emit clicked(Click::Right, clickPoint(x, y));
}

void SniStatusItem::publish()
{
    m_published = m_connection.registerService(m_serviceName)
        && m_connection.registerObject(QLatin1String(ItemPath), this, QDBusConnection::ExportAdaptors)
        && m_menu->publish();
    if (!m_published) {
        m_connection.unregisterObject(QLatin1String(ItemPath));
        m_connection.unregisterService(m_serviceName);
        m_failed = true;
        emit registrationFailed();
        return;
    }
    registerWithWatcher();
}

void SniStatusItem::registerWithWatcher()
{
    if (!m_published)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(WatcherService), QLatin1String(WatcherPath),
        QLatin1String(WatcherInterface), QStringLiteral("RegisterStatusNotifierItem"));
    call << m_serviceName;
    call.setAutoStartService(false);
    auto *pending = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *watcher) {
        watcher->deleteLater();
        if (watcher->isError()) {
            qWarning(
                "brivane: the status notifier watcher refused the item: %s", qPrintable(watcher->error().message()));
            m_failed = true;
            emit registrationFailed();
        }
    });
}

#include "SniStatusItem.moc"
