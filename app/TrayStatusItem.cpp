// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TrayStatusItem.h"

#include "resources/SymbolIcons.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>

namespace {

// At login the panel and brivane start together; the first look is soon.
constexpr int FirstLookMs = 1000;
// A desktop without any tray is asked twice a minute, a cheap round trip.
constexpr int LongestLookMs = 30000;

} // namespace

TrayStatusItem::TrayStatusItem(QObject *parent)
    : TrayStatusItem(iconUsefulOnThisPlatform(), parent)
{ }

bool TrayStatusItem::iconUsefulOnThisPlatform()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool TrayStatusItem::isIconShown() const
{
    return m_tray->isVisible();
}

TrayStatusItem::TrayStatusItem(bool showsIcon, QObject *parent)
    : StatusItem(parent)
    , m_tray(new QSystemTrayIcon(this))
    , m_trayLookout(new QTimer(this))
{
    m_showsIcon = showsIcon;
    m_trayLookout->setSingleShot(true);
    connect(m_trayLookout, &QTimer::timeout, this, &TrayStatusItem::lookForTray);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // Under StatusNotifierItem the icon's geometry is unknown; the
        // pointer is where the click was.
        const QPoint at = QCursor::pos();
        switch (reason) {
        case QSystemTrayIcon::Trigger:
        case QSystemTrayIcon::DoubleClick:
            emit clicked(Click::Left, at);
            break;
        case QSystemTrayIcon::Context:
            emit clicked(Click::Right, at);
            break;
        default:
            break;
        }
    });
}

void TrayStatusItem::setIcon(const QString &symbolName, int dayOfMonth)
{
    if (symbolName == m_iconName && dayOfMonth == m_iconDay && m_tray->isVisible())
        return;
    m_iconName = symbolName;
    m_iconDay = dayOfMonth;
    if (!m_showsIcon)
        return;
    const QIcon today = SymbolIcons::calendarDayIcon(dayOfMonth);
    m_tray->setIcon(today.isNull() ? SymbolIcons::icon(symbolName) : today);
    m_tray->show();
    if (!m_trayFound && !m_trayLookout->isActive()) {
        m_trayFound = isAvailable();
        if (!m_trayFound)
            m_trayLookout->start(FirstLookMs);
    }
}

void TrayStatusItem::lookForTray()
{
    if (!isAvailable()) {
        m_trayLookout->start(std::min(m_trayLookout->interval() * 2, LongestLookMs));
        return;
    }
    m_trayFound = true;
    // Qt watches for a tray that comes later, but misses one that takes its
    // place while Qt itself is starting to watch: an icon that is still not
    // docked is shown again.
    if (m_tray->isVisible() && m_tray->geometry().isEmpty()) {
        m_tray->hide();
        m_tray->show();
    }
    emit availabilityChanged(true);
}

void TrayStatusItem::setTitle(const QString &title)
{
    m_title = title;
    m_tray->setToolTip(title);
}

bool TrayStatusItem::isAvailable() const
{
    return m_showsIcon && QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayStatusItem::showMenu(QMenu *menu, const QPoint &globalPosition)
{
    menu->popup(globalPosition);
}

QRect TrayStatusItem::geometry() const
{
    return m_tray->geometry();
}
