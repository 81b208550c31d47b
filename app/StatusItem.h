// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

#include <functional>

class QMenu;

// The program's permanent place in the panel: an icon, the title text and
// two kinds of click. The tray implementation is one of possibly several.
class StatusItem : public QObject
{
    Q_OBJECT
public:
    enum class Click { Left, Right };
    Q_ENUM(Click)

    // Builds the menu a right click shows; the menu stays its builder's.
    using MenuProvider = std::function<QMenu *()>;

    using QObject::QObject;

    // The icon: a calendar page showing `dayOfMonth` (1–31) where one is
    // given, else (0) the symbol from the icon theme.
    virtual void setIcon(const QString &symbolName, int dayOfMonth) = 0;
    // The title text (without its leading space), shown where the panel can.
    virtual void setTitle(const QString &title) = 0;
    virtual QString title() const = 0;
    virtual bool isAvailable() const = 0;
    // Pops the menu up at the item; the menu belongs to the caller.
    virtual void showMenu(QMenu *menu, const QPoint &globalPosition) = 0;
    // Where the icon is on screen, or an empty rectangle when unknown.
    virtual QRect geometry() const = 0;
    // Panels that draw the menu themselves ask for its items before any
    // click; items that pop the menu up on a right click need no provider.
    virtual void setMenuProvider(MenuProvider provider) { Q_UNUSED(provider) }

signals:
    void clicked(StatusItem::Click click, const QPoint &globalPosition);
    void availabilityChanged(bool available);
};
