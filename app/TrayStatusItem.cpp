#include "app/TrayStatusItem.h"

#include "resources/SymbolIcons.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

TrayStatusItem::TrayStatusItem(QObject *parent)
    : StatusItem(parent)
    , m_tray(new QSystemTrayIcon(this))
{
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

void TrayStatusItem::setIcon(const QString &symbolName)
{
    if (symbolName == m_iconName && m_tray->isVisible())
        return;
    m_iconName = symbolName;
    m_tray->setIcon(SymbolIcons::icon(symbolName));
    m_tray->show();
}

void TrayStatusItem::setTitle(const QString &title)
{
    m_title = title;
    m_tray->setToolTip(title);
}

bool TrayStatusItem::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayStatusItem::showMenu(QMenu *menu, const QPoint &globalPosition)
{
    menu->popup(globalPosition);
}

QRect TrayStatusItem::geometry() const
{
    return m_tray->geometry();
}
