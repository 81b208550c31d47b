// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DBusMenuExporter.h"

#include <QAction>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QGuiApplication>
#include <QMenu>

#include <utility>

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuLayoutItem &item)
{
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayoutItem &child : item.children)
        argument << QDBusVariant(QVariant::fromValue(child));
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuLayoutItem &item)
{
    argument.beginStructure();
    argument >> item.id >> item.properties;
    item.children.clear();
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant wrapped;
        argument >> wrapped;
        DBusMenuLayoutItem child;
        wrapped.variant().value<QDBusArgument>() >> child;
        item.children.append(child);
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuItemProperties &item)
{
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuItemProperties &item)
{
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const DBusMenuEvent &event)
{
    argument.beginStructure();
    argument << event.id << event.eventId << event.data << event.timestamp;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, DBusMenuEvent &event)
{
    argument.beginStructure();
    argument >> event.id >> event.eventId >> event.data >> event.timestamp;
    argument.endStructure();
    return argument;
}

namespace DBusMenuTypes {
void registerTypes()
{
    qDBusRegisterMetaType<DBusMenuLayoutItem>();
    qDBusRegisterMetaType<DBusMenuItemProperties>();
    qDBusRegisterMetaType<DBusMenuItemPropertiesList>();
    qDBusRegisterMetaType<DBusMenuEvent>();
    qDBusRegisterMetaType<DBusMenuEventList>();
}
} // namespace DBusMenuTypes

namespace {

// Qt marks mnemonics with "&", dbusmenu with "_".
QString dbusLabel(const QString &text)
{
    QString label;
    label.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('&')) {
            const bool literal = i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&');
            label += literal ? QLatin1Char('&') : QLatin1Char('_');
            if (literal)
                ++i;
        } else if (c == QLatin1Char('_')) {
            label += QLatin1String("__");
        } else {
            label += c;
        }
    }
    return label;
}

QVariantMap itemProperties(const QAction *action)
{
    QVariantMap properties;
    if (action->isSeparator()) {
        properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        // No "shortcut": a panel's menu cannot use the program's keys, and
        // libdbusmenu-gtk panels without an accelerator group warn about it.
        properties.insert(QStringLiteral("label"), dbusLabel(action->text()));
    }
    // Defaults (enabled, visible) are left out, as the protocol allows.
    if (!action->isEnabled())
        properties.insert(QStringLiteral("enabled"), false);
    if (!action->isVisible())
        properties.insert(QStringLiteral("visible"), false);
    return properties;
}

QVariantMap filtered(const QVariantMap &properties, const QStringList &names)
{
    if (names.isEmpty())
        return properties;
    QVariantMap kept;
    for (const QString &name : names) {
        const auto found = properties.constFind(name);
        if (found != properties.constEnd())
            kept.insert(name, found.value());
    }
    return kept;
}

} // namespace

// The D-Bus face of the exporter: argument checking and error replies.
class DBusMenuAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    explicit DBusMenuAdaptor(DBusMenuExporter *exporter)
        : QDBusAbstractAdaptor(exporter)
        , m_exporter(exporter)
    {
        connect(exporter, &DBusMenuExporter::layoutUpdated, this, &DBusMenuAdaptor::LayoutUpdated);
    }

    uint version() const { return 3; }
    QString textDirection() const
    {
        return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl") : QStringLiteral("ltr");
    }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames, DBusMenuLayoutItem &layout)
    {
        if (!knownItem(parentId))
            return 0;
        layout = m_exporter->layout(parentId, recursionDepth, propertyNames);
        return m_exporter->revision();
    }

    DBusMenuItemPropertiesList GetGroupProperties(const QList<int> &ids, const QStringList &propertyNames)
    {
        DBusMenuItemPropertiesList result;
        for (int id : ids) {
            // Unknown items are left out, as the protocol asks.
            if (m_exporter->hasItem(id))
                result.append({id, m_exporter->properties(id, propertyNames)});
        }
        return result;
    }

    QDBusVariant GetProperty(int id, const QString &name)
    {
        if (!knownItem(id))
            return {};
        const QVariantMap properties = m_exporter->properties(id, {name});
        if (!properties.contains(name)) {
            m_exporter->sendErrorReply(
                QDBusError::InvalidArgs, QStringLiteral("The item has no property \"%1\"").arg(name));
            return {};
        }
        return QDBusVariant(properties.value(name));
    }

    void Event(int id, const QString &eventId, const QDBusVariant &, uint)
    {
        if (!m_exporter->handleEvent(id, eventId))
            m_exporter->sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No menu item %1").arg(id));
    }

    QList<int> EventGroup(const QList<DBusMenuEvent> &events)
    {
        QList<int> idErrors;
        for (const DBusMenuEvent &event : events) {
            if (!m_exporter->handleEvent(event.id, event.eventId))
                idErrors.append(event.id);
        }
        if (!events.isEmpty() && idErrors.size() == events.size())
            m_exporter->sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("None of the menu items exists"));
        return idErrors;
    }

    bool AboutToShow(int id)
    {
        if (!knownItem(id))
            return false;
        return m_exporter->aboutToShow(id);
    }

    QList<int> AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors)
    {
        QList<int> updatesNeeded;
        for (int id : ids) {
            if (!m_exporter->hasItem(id))
                idErrors.append(id);
            else if (m_exporter->aboutToShow(id))
                updatesNeeded.append(id);
        }
        return updatesNeeded;
    }

signals:
    void LayoutUpdated(uint revision, int parent);

private:
    bool knownItem(int id)
    {
        if (m_exporter->hasItem(id))
            return true;
        m_exporter->sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No menu item %1").arg(id));
        return false;
    }

    DBusMenuExporter *m_exporter;
};

DBusMenuExporter::DBusMenuExporter(const QDBusConnection &connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
{
    DBusMenuTypes::registerTypes();
    new DBusMenuAdaptor(this);
}

DBusMenuExporter::~DBusMenuExporter()
{
    if (m_published)
        m_connection.unregisterObject(QLatin1String(ObjectPath));
}

bool DBusMenuExporter::publish()
{
    if (!m_published)
        m_published = m_connection.registerObject(QLatin1String(ObjectPath), this, QDBusConnection::ExportAdaptors);
    return m_published;
}

void DBusMenuExporter::setMenuProvider(StatusItem::MenuProvider provider)
{
    m_provider = std::move(provider);
    if (m_menu || !m_itemProperties.isEmpty())
        rebuild();
}

QList<QAction *> DBusMenuExporter::actions() const
{
    return m_menu ? m_menu->actions() : QList<QAction *>();
}

void DBusMenuExporter::ensureMenu()
{
    // The menu belongs to its builder, who may have replaced it since.
    if (!m_menu)
        rebuild();
}

bool DBusMenuExporter::rebuild()
{
    m_menu = m_provider ? m_provider() : nullptr;
    QList<QVariantMap> properties;
    for (const QAction *action : actions())
        properties.append(itemProperties(action));
    if (m_built && properties == m_itemProperties)
        return false;
    m_itemProperties = properties;
    // The first layout is news to nobody.
    if (std::exchange(m_built, true)) {
        ++m_revision;
        emit layoutUpdated(m_revision, 0);
    }
    return true;
}

bool DBusMenuExporter::hasItem(int id)
{
    ensureMenu();
    return id >= 0 && id <= m_itemProperties.size();
}

DBusMenuLayoutItem DBusMenuExporter::layout(int id, int depth, const QStringList &propertyNames)
{
    DBusMenuLayoutItem item;
    item.id = id;
    item.properties = properties(id, propertyNames);
    if (id == 0 && depth != 0) {
        for (int child = 1; child <= m_itemProperties.size(); ++child)
            item.children.append(layout(child, depth - 1, propertyNames));
    }
    return item;
}

QVariantMap DBusMenuExporter::properties(int id, const QStringList &propertyNames)
{
    if (!hasItem(id))
        return {};
    if (id == 0)
        return filtered({{QStringLiteral("children-display"), QStringLiteral("submenu")}}, propertyNames);
    return filtered(m_itemProperties.at(id - 1), propertyNames);
}

bool DBusMenuExporter::handleEvent(int id, const QString &eventId)
{
    if (!hasItem(id))
        return false;
    if (id > 0 && eventId == QLatin1String("clicked")) {
        QAction *action = actions().value(id - 1);
        // After the reply: "Quit brivane" must not end the program mid-call.
        if (action && action->isEnabled())
            QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
    }
    return true; // "opened", "closed" and "hovered" need nothing
}

bool DBusMenuExporter::aboutToShow(int id)
{
    // A new menu each time it opens, as with a right click.
    return id == 0 && rebuild();
}

#include "DBusMenuExporter.moc"
