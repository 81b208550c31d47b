// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/StatusItem.h"

#include <QDBusConnection>

#include <memory>

class QDBusServiceWatcher;

// The status item the program shows: our own StatusNotifierItem (the title
// as a label beside the icon) where a panel hosts such items, that is, a
// StatusNotifierWatcher with a registered host is on the session bus; the
// tray icon everywhere else. It follows the panel: a watcher or host that
// appears, goes away or restarts moves the item from one to the other, and
// only one of the two exists at any time, so the panel never shows two icons.
class PanelStatusItem final : public StatusItem
{
    Q_OBJECT
public:
    enum class Mode { Tray, StatusNotifier };
    Q_ENUM(Mode)
    using TrayItemFactory = std::function<std::unique_ptr<StatusItem>()>;

    // Asks the bus at once (briefly blocking) whether a panel hosts status
    // notifier items, so that the first icon goes to the right place.
    PanelStatusItem(const QDBusConnection &connection, TrayItemFactory makeTrayItem, QObject *parent = nullptr);
    ~PanelStatusItem() override;

    void setIcon(const QString &symbolName, int dayOfMonth) override;
    void setTitle(const QString &title) override;
    QString title() const override { return m_title; }
    bool isAvailable() const override;
    void showMenu(QMenu *menu, const QPoint &globalPosition) override;
    QRect geometry() const override;
    void setMenuProvider(MenuProvider provider) override;

    Mode mode() const { return m_mode; }
    StatusItem *activeItem() const { return m_active.get(); }

signals:
    void modeChanged(PanelStatusItem::Mode mode);

private slots:
    void checkHost();

private:
    void switchTo(Mode mode);

    QDBusConnection m_connection;
    TrayItemFactory m_makeTrayItem;
    std::unique_ptr<StatusItem> m_active;
    Mode m_mode = Mode::Tray;
    QString m_symbolName;
    int m_dayOfMonth = 0;
    QString m_title;
    MenuProvider m_menuProvider;
    QDBusServiceWatcher *m_watcherWatch = nullptr;
    quint64 m_lastCheck = 0; // answers to older questions are stale
    bool m_watcherIsNew = false;
};
