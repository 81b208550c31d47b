// SPDX-License-Identifier: GPL-3.0-or-later
#include "resources/SymbolIcon.h"

#include "resources/SymbolIcons.h"

#include <QPainter>
#include <QQuickWindow>

SymbolIcon::SymbolIcon(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    setImplicitSize(m_size, m_size);
}

void SymbolIcon::setName(const QString &name)
{
    if (name == m_name)
        return;
    m_name = name;
    emit nameChanged();
    update();
}

void SymbolIcon::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    emit colorChanged();
    update();
}

void SymbolIcon::setSize(int size)
{
    if (size == m_size)
        return;
    m_size = size;
    setImplicitSize(size, size);
    emit sizeChanged();
    update();
}

void SymbolIcon::paint(QPainter *painter)
{
    if (m_name.isEmpty() || m_size <= 0)
        return;
    const qreal ratio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    const QImage image = SymbolIcons::symbolImage(m_name, m_size, m_color, ratio);
    if (image.isNull())
        return;
    // Centred in the item, whatever size the layout gave it.
    const QPointF topLeft((width() - m_size) / 2.0, (height() - m_size) / 2.0);
    painter->drawImage(QRectF(topLeft, QSizeF(m_size, m_size)), image);
}
