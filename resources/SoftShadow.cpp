// SPDX-License-Identifier: GPL-3.0-or-later
#include "resources/SoftShadow.h"

#include <QPainter>
#include <QPainterPath>

namespace {
// Three box blurs in each direction come close to a Gaussian blur.
void boxBlurAlpha(QImage &image, int radius)
{
    if (radius < 1)
        return;
    const int width = image.width();
    const int height = image.height();
    QList<int> line(qMax(width, height));
    auto pass = [&](bool horizontal) {
        const int length = horizontal ? width : height;
        const int lines = horizontal ? height : width;
        for (int l = 0; l < lines; ++l) {
            auto pixel = [&](int i) -> uchar & {
                const int x = horizontal ? i : l;
                const int y = horizontal ? l : i;
                return image.scanLine(y)[x];
            };
            for (int i = 0; i < length; ++i)
                line[i] = pixel(i);
            int sum = 0;
            const int window = 2 * radius + 1;
            for (int i = -radius; i <= radius; ++i)
                sum += line[qBound(0, i, length - 1)];
            for (int i = 0; i < length; ++i) {
                pixel(i) = uchar(sum / window);
                sum += line[qMin(i + radius + 1, length - 1)] - line[qMax(i - radius, 0)];
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(true);
        pass(false);
    }
}
} // namespace

SoftShadow::SoftShadow(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

void SoftShadow::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    m_cacheKey.clear();
    changeShape();
}

void SoftShadow::setBlur(qreal blur)
{
    if (qFuzzyCompare(blur, m_blur))
        return;
    m_blur = qMax<qreal>(0, blur);
    changeShape();
}

void SoftShadow::setCornerRadius(qreal radius)
{
    if (qFuzzyCompare(radius, m_cornerRadius))
        return;
    m_cornerRadius = radius;
    changeShape();
}

void SoftShadow::setOffsetX(qreal offset)
{
    if (qFuzzyCompare(offset, m_offsetX))
        return;
    m_offsetX = offset;
    changeShape();
}

void SoftShadow::setOffsetY(qreal offset)
{
    if (qFuzzyCompare(offset, m_offsetY))
        return;
    m_offsetY = offset;
    changeShape();
}

void SoftShadow::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        changeShape();
}

void SoftShadow::changeShape()
{
    emit changed();
    update();
}

void SoftShadow::paint(QPainter *painter)
{
    const int inset = extent();
    const QRectF shape(inset, inset, width() - 2 * inset, height() - 2 * inset);
    if (shape.width() <= 0 || shape.height() <= 0 || m_color.alpha() == 0)
        return;
    const QString key = QStringLiteral("%1x%2 %3 %4 %5,%6")
                            .arg(width())
                            .arg(height())
                            .arg(m_blur)
                            .arg(m_cornerRadius)
                            .arg(m_offsetX)
                            .arg(m_offsetY);
    if (key != m_cacheKey) {
        QImage mask(qCeil(width()), qCeil(height()), QImage::Format_Alpha8);
        mask.fill(0);
        {
            QPainter maskPainter(&mask);
            maskPainter.setRenderHint(QPainter::Antialiasing);
            QPainterPath path;
            path.addRoundedRect(shape.translated(m_offsetX, m_offsetY), m_cornerRadius, m_cornerRadius);
            maskPainter.fillPath(path, Qt::black);
        }
        boxBlurAlpha(mask, qRound(m_blur / 3.0));
        m_cache = QImage(mask.size(), QImage::Format_ARGB32_Premultiplied);
        m_cache.fill(Qt::transparent);
        QPainter colourPainter(&m_cache);
        colourPainter.drawImage(0, 0, mask);
        colourPainter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        colourPainter.fillRect(m_cache.rect(), m_color);
        m_cacheKey = key;
    }
    painter->drawImage(QPointF(0, 0), m_cache);
}
