// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/StatusItem.h"

class QSystemTrayIcon;
class QTimer;

// The status item as a system tray icon (XEmbed or StatusNotifierItem, as
// Qt finds), its title in the tooltip. On Wayland there is no XEmbed tray,
// and Qt's StatusNotifierItem would be a second one beside ours: there the
// fallback shows nothing, and our own item comes when a panel hosts it.
class TrayStatusItem final : public StatusItem
{
    Q_OBJECT
public:
    explicit TrayStatusItem(QObject *parent = nullptr);
    // `showsIcon` false: the Wayland fallback, which shows nothing.
    TrayStatusItem(bool showsIcon, QObject *parent);
    // Whether Qt's tray icon is any use on the platform Qt runs on.
    static bool iconUsefulOnThisPlatform();
    bool isIconShown() const;

    void setIcon(const QString &symbolName, int dayOfMonth) override;
    void setTitle(const QString &title) override;
    QString title() const override { return m_title; }
    bool isAvailable() const override;
    void showMenu(QMenu *menu, const QPoint &globalPosition) override;
    QRect geometry() const override;

private:
    void lookForTray();

    QSystemTrayIcon *m_tray;
    // Looks again, less and less often, for a tray that was not there when
    // the icon was first shown.
    QTimer *m_trayLookout;
    bool m_trayFound = false;
    bool m_showsIcon = true;
    QString m_title;
    QString m_iconName;
    int m_iconDay = 0;
};
