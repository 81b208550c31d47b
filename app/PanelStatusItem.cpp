// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PanelStatusItem.h"

#include "app/SniStatusItem.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QPointer>

#include <utility>

namespace {

// How long the start waits for a busy panel to say whether it hosts items.
constexpr int StartupAnswerMs = 1000;

QDBusMessage hostQuestion()
{
    QDBusMessage question = QDBusMessage::createMethodCall(QLatin1String(SniStatusItem::WatcherService),
        QLatin1String(SniStatusItem::WatcherPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    question << QLatin1String(SniStatusItem::WatcherInterface) << QStringLiteral("IsStatusNotifierHostRegistered");
    // Asking must not start a watcher that the bus knows how to launch.
    question.setAutoStartService(false);
    return question;
}

bool hostRegistered(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

} // namespace

PanelStatusItem::PanelStatusItem(const QDBusConnection &connection, TrayItemFactory makeTrayItem, QObject *parent)
    : StatusItem(parent)
    , m_connection(connection)
    , m_makeTrayItem(std::move(makeTrayItem))
{
    bool hosted = false;
    if (m_connection.isConnected()) {
        m_watcherWatch = new QDBusServiceWatcher(
            QLatin1String(SniStatusItem::WatcherService), m_connection, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(m_watcherWatch, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                if (!newOwner.isEmpty()) {
                    // A new watcher, perhaps one that took the name over from
                    // the old without a gap: it has to hear of our item.
                    m_watcherIsNew = true;
                    checkHost();
                    return;
                }
                ++m_lastCheck;
                switchTo(Mode::Tray);
            });
        for (const char *signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"}) {
            m_connection.connect(QLatin1String(SniStatusItem::WatcherService),
                QLatin1String(SniStatusItem::WatcherPath), QLatin1String(SniStatusItem::WatcherInterface),
                QLatin1String(signal), this, SLOT(checkHost()));
        }
        hosted = hostRegistered(m_connection.call(hostQuestion(), QDBus::Block, StartupAnswerMs));
    }
    switchTo(hosted ? Mode::StatusNotifier : Mode::Tray);
}

PanelStatusItem::~PanelStatusItem() = default;

void PanelStatusItem::checkHost()
{
    const quint64 question = ++m_lastCheck;
    auto *pending = new QDBusPendingCallWatcher(m_connection.asyncCall(hostQuestion()), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, question](QDBusPendingCallWatcher *watcher) {
        watcher->deleteLater();
        if (question != m_lastCheck)
            return;
        const bool hosted = hostRegistered(watcher->reply());
        if (hosted && m_mode == Mode::StatusNotifier && std::exchange(m_watcherIsNew, false))
            static_cast<SniStatusItem *>(m_active.get())->registerWithWatcher();
        switchTo(hosted ? Mode::StatusNotifier : Mode::Tray);
    });
}

void PanelStatusItem::switchTo(Mode mode)
{
    if (m_active && mode == m_mode)
        return;
    const bool wasAvailable = isAvailable();
    // The old item leaves before the new one comes: never two icons at once.
    m_active.reset();
    m_mode = mode;
    m_watcherIsNew = false; // a new item registers with whichever watcher is there
    if (mode == Mode::StatusNotifier) {
        auto item = std::make_unique<SniStatusItem>(m_connection);
        // Queued: the item may fail from inside its own setIcon.
        connect(
            item.get(), &SniStatusItem::registrationFailed, this,
            [this, failed = QPointer<StatusItem>(item.get())] {
                if (failed && failed == m_active.get())
                    switchTo(Mode::Tray);
            },
            Qt::QueuedConnection);
        m_active = std::move(item);
    } else {
        m_active = m_makeTrayItem();
    }
    connect(m_active.get(), &StatusItem::clicked, this, &StatusItem::clicked);
    connect(m_active.get(), &StatusItem::availabilityChanged, this, &StatusItem::availabilityChanged);
    if (m_menuProvider)
        m_active->setMenuProvider(m_menuProvider);
    // The title first: the new item shows itself with the icon.
    m_active->setTitle(m_title);
    if (!m_symbolName.isEmpty())
        m_active->setIcon(m_symbolName, m_dayOfMonth);
    emit modeChanged(mode);
    if (isAvailable() != wasAvailable)
        emit availabilityChanged(isAvailable());
}

void PanelStatusItem::setIcon(const QString &symbolName, int dayOfMonth)
{
    m_symbolName = symbolName;
    m_dayOfMonth = dayOfMonth;
    m_active->setIcon(symbolName, dayOfMonth);
}

void PanelStatusItem::setTitle(const QString &title)
{
    m_title = title;
    m_active->setTitle(title);
}

bool PanelStatusItem::isAvailable() const
{
    return m_active && m_active->isAvailable();
}

void PanelStatusItem::showMenu(QMenu *menu, const QPoint &globalPosition)
{
    m_active->showMenu(menu, globalPosition);
}

QRect PanelStatusItem::geometry() const
{
    return m_active->geometry();
}

void PanelStatusItem::setMenuProvider(MenuProvider provider)
{
    m_menuProvider = std::move(provider);
    m_active->setMenuProvider(m_menuProvider);
}
