// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

// A soft shadow of a rounded rectangle, blurred by `blur` pixels and moved by
// `offsetX`/`offsetY`. The item is the painted area: the rectangle casting
// the shadow is the item inset by `extent` on every side, so place it over
// the card with negative margins of `extent`. Works with every scene graph
// backend, the software one included.
//
//   SoftShadow { id: shadow; anchors.fill: card; anchors.margins: -shadow.extent
//                cornerRadius: 16; blur: 20; offsetY: -4; color: "#40000000" }
class SoftShadow : public QQuickPaintedItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
    Q_PROPERTY(qreal blur READ blur WRITE setBlur NOTIFY changed)
    Q_PROPERTY(qreal cornerRadius READ cornerRadius WRITE setCornerRadius NOTIFY changed)
    Q_PROPERTY(qreal offsetX READ offsetX WRITE setOffsetX NOTIFY changed)
    Q_PROPERTY(qreal offsetY READ offsetY WRITE setOffsetY NOTIFY changed)
    Q_PROPERTY(int extent READ extent NOTIFY changed)
public:
    explicit SoftShadow(QQuickItem *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    qreal blur() const { return m_blur; }
    void setBlur(qreal blur);
    qreal cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(qreal radius);
    qreal offsetX() const { return m_offsetX; }
    void setOffsetX(qreal offset);
    qreal offsetY() const { return m_offsetY; }
    void setOffsetY(qreal offset);
    // How far the shadow reaches past the rectangle.
    int extent() const { return qCeil(m_blur * 1.5 + qMax(qAbs(m_offsetX), qAbs(m_offsetY))); }

    void paint(QPainter *painter) override;

signals:
    void changed();

protected:
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    void changeShape();

    QColor m_color = QColor(0, 0, 0, 64);
    qreal m_blur = 20;
    qreal m_cornerRadius = 0;
    qreal m_offsetX = 0;
    qreal m_offsetY = 0;
    QImage m_cache;
    QString m_cacheKey;
};
