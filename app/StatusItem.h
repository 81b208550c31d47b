#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

class QMenu;

// The program's permanent place in the panel: an icon, the title text and
// two kinds of click. The tray implementation is one of possibly several.
class StatusItem : public QObject
{
    Q_OBJECT
public:
    enum class Click { Left, Right };
    Q_ENUM(Click)

    using QObject::QObject;

    virtual void setIcon(const QString &symbolName) = 0;
    // The title text (without its leading space), shown where the panel can.
    virtual void setTitle(const QString &title) = 0;
    virtual QString title() const = 0;
    virtual bool isAvailable() const = 0;
    // Pops the menu up at the item; the menu belongs to the caller.
    virtual void showMenu(QMenu *menu, const QPoint &globalPosition) = 0;
    // Where the icon is on screen, or an empty rectangle when unknown.
    virtual QRect geometry() const = 0;

signals:
    void clicked(StatusItem::Click click, const QPoint &globalPosition);
    void availabilityChanged(bool available);
};
