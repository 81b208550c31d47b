// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/StatusItem.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVariant>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

class QAction;
class QMenu;

// The records of the com.canonical.dbusmenu interface, as they travel.

// One item and its children: (ia{sv}av), each child wrapped in a variant.
struct DBusMenuLayoutItem
{
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// (ia{sv})
struct DBusMenuItemProperties
{
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;

// (isvu)
struct DBusMenuEvent
{
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuLayoutItem &item);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuLayoutItem &item);
QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuItemProperties &item);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuItemProperties &item);
QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuEvent &event);
const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuEvent &event);

Q_DECLARE_METATYPE(DBusMenuLayoutItem)
Q_DECLARE_METATYPE(DBusMenuItemProperties)
Q_DECLARE_METATYPE(DBusMenuEvent)

namespace DBusMenuTypes {
// Makes the records above known to QtDBus; safe to call more than once.
void registerTypes();
} // namespace DBusMenuTypes

// Shows the program's menu to panels that draw menus themselves, over
// com.canonical.dbusmenu. The menu is built anew, as a right click would
// build it, whenever the panel is about to show it; a click on one of its
// items in the panel triggers that item's action in the program.
//
// Items are numbered by their place in the menu (the root is 0); a panel
// that shows the menu again gets the same numbers as long as the items stay
// the same, and a new layout revision when they do not. (The D-Bus context
// is the exporter's: calls reach its adaptor with the exporter as target.)
class DBusMenuExporter : public QObject, public QDBusContext
{
    Q_OBJECT
public:
    static constexpr const char *ObjectPath = "/MenuBar";
    static constexpr const char *Interface = "com.canonical.dbusmenu";

    explicit DBusMenuExporter(const QDBusConnection &connection, QObject *parent = nullptr);
    ~DBusMenuExporter() override;

    // Puts the menu on the bus at ObjectPath; false when the path is taken.
    bool publish();
    void setMenuProvider(StatusItem::MenuProvider provider);

    uint revision() const { return m_revision; }
    bool hasItem(int id);
    // The item `id` with its children down to `depth` levels (-1: all),
    // with only the named properties (all when none are named).
    DBusMenuLayoutItem layout(int id, int depth, const QStringList &propertyNames);
    QVariantMap properties(int id, const QStringList &propertyNames);
    // A panel's event on an item; false when there is no such item.
    bool handleEvent(int id, const QString &eventId);
    // The panel is about to show the item; true when the layout changed.
    bool aboutToShow(int id);

signals:
    void layoutUpdated(uint revision, int parentId);

private:
    void ensureMenu();
    // Asks for a new menu; true when its items differ from the last one's.
    bool rebuild();
    QList<QAction *> actions() const;

    QDBusConnection m_connection;
    StatusItem::MenuProvider m_provider;
    QPointer<QMenu> m_menu;
    QList<QVariantMap> m_itemProperties; // of the items 1…n, to tell changes
    uint m_revision = 1;
    bool m_built = false;
    bool m_published = false;
};
