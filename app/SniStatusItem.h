// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/StatusItem.h"

#include <QDBusArgument>
#include <QDBusConnection>

class DBusMenuExporter;

// An icon as StatusNotifierItem carries it: (iiay), ARGB32 in network byte order.
struct SniPixmap
{
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using SniPixmapList = QList<SniPixmap>;

// (sa(iiay)ss): icon name, icon pixmaps, title, description.
struct SniToolTip
{
    QString iconName;
    SniPixmapList iconPixmaps;
    QString title;
    QString description;
};

QDBusArgument &operator<<(QDBusArgument &argument, const SniPixmap &pixmap);
const QDBusArgument &operator>>(const QDBusArgument &argument, SniPixmap &pixmap);
QDBusArgument &operator<<(QDBusArgument &argument, const SniToolTip &toolTip);
const QDBusArgument &operator>>(const QDBusArgument &argument, SniToolTip &toolTip);

Q_DECLARE_METATYPE(SniPixmap)
Q_DECLARE_METATYPE(SniToolTip)

// The status item as our own StatusNotifierItem (org.kde.StatusNotifierItem)
// on the session bus: the icon, the title as the Ayatana label beside it and
// in the tooltip, the menu for panels that draw it (com.canonical.dbusmenu),
// and a left click that comes with the place the panel was clicked at.
//
// It goes on the bus and registers with the StatusNotifierWatcher when it is
// first given an icon, and leaves the bus when destroyed.
class SniStatusItem final : public StatusItem
{
    Q_OBJECT
public:
    static constexpr const char *ItemPath = "/StatusNotifierItem";
    static constexpr const char *ItemInterface = "org.kde.StatusNotifierItem";
    static constexpr const char *WatcherService = "org.kde.StatusNotifierWatcher";
    static constexpr const char *WatcherPath = "/StatusNotifierWatcher";
    static constexpr const char *WatcherInterface = "org.kde.StatusNotifierWatcher";

    explicit SniStatusItem(const QDBusConnection &connection, QObject *parent = nullptr);
    ~SniStatusItem() override;

    void setIcon(const QString &symbolName, int dayOfMonth) override;
    void setTitle(const QString &title) override;
    QString title() const override { return m_title; }
    bool isAvailable() const override { return !m_failed; }
    // For panels that ask the item to show its menu (ContextMenu).
    void showMenu(QMenu *menu, const QPoint &globalPosition) override;
    // Panels do not tell where the icon is; Activate brings the click point.
    QRect geometry() const override { return {}; }
    void setMenuProvider(MenuProvider provider) override;

    // Tells the watcher about the item (again: a new watcher that took over
    // the name knows nothing of it). Does nothing before the first icon.
    void registerWithWatcher();

    // The bus name the watcher knows the item by.
    QString serviceName() const { return m_serviceName; }

    // What the item shows, as the D-Bus interface hands it out.
    QString iconName() const { return m_iconName; }
    SniPixmapList iconPixmaps() const { return m_iconPixmaps; }
    SniToolTip toolTip() const;

    // Calls from the panel, with its screen coordinates.
    void activate(int x, int y);
    void contextMenu(int x, int y);

signals:
    // The watcher answered the registration with an error.
    void registrationFailed();
    void iconChanged();
    void titleChanged();

private:
    void publish();
    QPoint clickPoint(int x, int y) const;

    QDBusConnection m_connection;
    QString m_serviceName;
    DBusMenuExporter *m_menu;
    QString m_symbolName;
    int m_dayOfMonth = 0;
    QString m_iconName;
    SniPixmapList m_iconPixmaps;
    QString m_title;
    bool m_published = false;
    bool m_failed = false;
};
