#pragma once

#include "app/StatusItem.h"

class QSystemTrayIcon;

// The status item as a system tray icon (XEmbed or StatusNotifierItem, as
// Qt finds), its title in the tooltip.
class TrayStatusItem final : public StatusItem
{
    Q_OBJECT
public:
    explicit TrayStatusItem(QObject *parent = nullptr);

    void setIcon(const QString &symbolName) override;
    void setTitle(const QString &title) override;
    QString title() const override { return m_title; }
    bool isAvailable() const override;
    void showMenu(QMenu *menu, const QPoint &globalPosition) override;
    QRect geometry() const override;

private:
    QSystemTrayIcon *m_tray;
    QString m_title;
    QString m_iconName;
};
