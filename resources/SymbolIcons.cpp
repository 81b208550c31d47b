// SPDX-License-Identifier: GPL-3.0-or-later
#include "resources/SymbolIcons.h"

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <functional>

namespace SymbolIcons {
namespace {

// Symbol name → icon theme names. Every symbol the program shows is here;
// the symbolic ("-symbolic") names are the ones drawn in one colour.
const QHash<QString, QStringList> &table()
{
    static const QHash<QString, QStringList> names {
        {QStringLiteral("calendar"),
            {QStringLiteral("x-office-calendar"), QStringLiteral("office-calendar"),
                QStringLiteral("x-office-calendar-symbolic")}},
        {QStringLiteral("chevron.left"),
            {QStringLiteral("go-previous-symbolic"), QStringLiteral("pan-start-symbolic")}},
        {QStringLiteral("chevron.right"), {QStringLiteral("go-next-symbolic"), QStringLiteral("pan-end-symbolic")}},
        {QStringLiteral("chevron.down"), {QStringLiteral("pan-down-symbolic"), QStringLiteral("go-down-symbolic")}},
        {QStringLiteral("plus"), {QStringLiteral("list-add-symbolic")}},
        {QStringLiteral("trash"), {QStringLiteral("user-trash-symbolic"), QStringLiteral("edit-delete-symbolic")}},
        // The theme's cloud is a rain cloud's blob at small sizes: ours.
        {QStringLiteral("cloud.fill"), {}},
        {QStringLiteral("clock"), {QStringLiteral("preferences-system-time-symbolic")}},
        {QStringLiteral("timer"), {QStringLiteral("appointment-soon-symbolic"), QStringLiteral("alarm-symbolic")}},
        {QStringLiteral("note.text"),
            {QStringLiteral("text-x-generic-symbolic"), QStringLiteral("accessories-text-editor-symbolic")}},
        {QStringLiteral("arrow.up.right.square"), {QStringLiteral("send-to-symbolic")}},
        {QStringLiteral("pencil"), {QStringLiteral("document-edit-symbolic")}},
        // The theme's arrows are bare chevrons, which read as buttons: ours.
        {QStringLiteral("arrow.right.circle"), {}},
        {QStringLiteral("arrow.left.circle"), {}},
        {QStringLiteral("circle.fill"), {QStringLiteral("media-record-symbolic")}},
        {QStringLiteral("folder"), {QStringLiteral("folder-symbolic")}},
        // The theme's link reads as a text cursor at small sizes: ours.
        {QStringLiteral("link"), {}},
        {QStringLiteral("video"), {QStringLiteral("camera-video-symbolic")}},
        {QStringLiteral("paintbrush"), {}},
        {QStringLiteral("checkmark"), {QStringLiteral("object-select-symbolic")}},
        {QStringLiteral("checkmark.circle.fill"), {}},
        {QStringLiteral("xmark.circle.fill"), {}},
        {QStringLiteral("key.fill"), {}},
        {QStringLiteral("doc.on.doc"), {QStringLiteral("edit-copy-symbolic")}},
        {QStringLiteral("arrow.right"), {}},
        {QStringLiteral("exclamationmark.triangle.fill"), {QStringLiteral("dialog-warning-symbolic")}},
        {QStringLiteral("info.circle"), {QStringLiteral("dialog-information-symbolic")}},
        {QStringLiteral("calendar.badge.clock"), {}},
        {QStringLiteral("plus.circle"), {}},
        {QStringLiteral("hand.tap"), {}},
        {QStringLiteral("gearshape"), {QStringLiteral("emblem-system-symbolic")}},
    };
    return names;
}

// Some platforms (the offscreen one, bare X servers) name no theme and no
// place to look for one: use the desktop's icon folders and Adwaita.
void ensureIconTheme()
{
    static const bool done = [] {
        QStringList paths = QIcon::themeSearchPaths();
        for (const QString &path : QStandardPaths::locateAll(
                 QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory)) {
            if (!paths.contains(path))
                paths.append(path);
        }
        QIcon::setThemeSearchPaths(paths);
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    Q_UNUSED(done);
}

// Drawings on a 16 × 16 grid, stroked or filled in one colour.
using Drawing = std::function<void(QPainter &, const QPen &)>;

QPainterPath polyline(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    bool first = true;
    for (const QPointF &point : points) {
        if (first)
            path.moveTo(point);
        else
            path.lineTo(point);
        first = false;
    }
    return path;
}

const QHash<QString, Drawing> &drawings()
{
    static const QHash<QString, Drawing> all {
        {QStringLiteral("chevron.left"),
            [](QPainter &p, const QPen &) {
                p.drawPath(polyline({{10, 2.5}, {4.5, 8}, {10, 13.5}}));
            }},
        {QStringLiteral("chevron.right"),
            [](QPainter &p, const QPen &) {
                p.drawPath(polyline({{6, 2.5}, {11.5, 8}, {6, 13.5}}));
            }},
        {QStringLiteral("chevron.down"),
            [](QPainter &p, const QPen &) {
                p.drawPath(polyline({{2.5, 5.5}, {8, 11}, {13.5, 5.5}}));
            }},
        {QStringLiteral("plus"),
            [](QPainter &p, const QPen &) {
                p.drawLine(QPointF(8, 2), QPointF(8, 14));
                p.drawLine(QPointF(2, 8), QPointF(14, 8));
            }},
        {QStringLiteral("trash"),
            [](QPainter &p, const QPen &) {
                p.drawLine(QPointF(2, 4), QPointF(14, 4));
                p.drawPath(polyline({{6, 4}, {6, 2}, {10, 2}, {10, 4}}));
                p.drawPath(polyline({{3.5, 4}, {4.5, 14.5}, {11.5, 14.5}, {12.5, 4}}));
                p.drawLine(QPointF(6.5, 7), QPointF(6.8, 12));
                p.drawLine(QPointF(9.5, 7), QPointF(9.2, 12));
            }},
        {QStringLiteral("cloud.fill"),
            [](QPainter &p, const QPen &pen) {
                // Three bumps of clearly different heights over a flat
                // base, so that the notches between them survive 9 pixels.
                QPainterPath bumps;
                bumps.addEllipse(QPointF(4.4, 9.9), 3.1, 3.1);
                bumps.addEllipse(QPointF(9.0, 7.4), 3.2, 3.2);
                bumps.addEllipse(QPointF(12.8, 10.2), 2.8, 2.8);
                bumps.addRect(QRectF(4.4, 10, 8.4, 3.0));
                bumps.setFillRule(Qt::WindingFill);
                QPainterPath notches;
                notches.addEllipse(QPointF(6.6, 6.0), 1.1, 1.1);
                notches.addEllipse(QPointF(12.0, 7.1), 1.0, 1.0);
                const QPainterPath cloud = bumps.simplified().subtracted(notches);
                p.setPen(Qt::NoPen);
                p.setBrush(pen.color());
                p.drawPath(cloud.simplified());
            }},
        {QStringLiteral("calendar"),
            [](QPainter &p, const QPen &) {
                p.drawRoundedRect(QRectF(2, 3, 12, 11.5), 2, 2);
                p.drawLine(QPointF(2, 6.5), QPointF(14, 6.5));
                p.drawLine(QPointF(5, 1.5), QPointF(5, 4));
                p.drawLine(QPointF(11, 1.5), QPointF(11, 4));
            }},
        {QStringLiteral("clock"),
            [](QPainter &p, const QPen &) {
                p.drawEllipse(QPointF(8, 8), 6.25, 6.25);
                p.drawPath(polyline({{8, 4.5}, {8, 8}, {10.5, 9.5}}));
            }},
        {QStringLiteral("timer"),
            [](QPainter &p, const QPen &) {
                p.drawEllipse(QPointF(8, 9), 5.5, 5.5);
                p.drawLine(QPointF(8, 9), QPointF(8, 6));
                p.drawLine(QPointF(6.5, 1.5), QPointF(9.5, 1.5));
                p.drawLine(QPointF(8, 1.5), QPointF(8, 3.5));
            }},
        {QStringLiteral("note.text"),
            [](QPainter &p, const QPen &) {
                p.drawRoundedRect(QRectF(3, 1.75, 10, 12.5), 1.5, 1.5);
                for (qreal y : {5.5, 8.0, 10.5})
                    p.drawLine(QPointF(5.5, y), QPointF(10.5, y));
            }},
        {QStringLiteral("arrow.up.right.square"),
            [](QPainter &p, const QPen &) {
                p.drawRoundedRect(QRectF(2, 2, 12, 12), 2.5, 2.5);
                p.drawLine(QPointF(5.5, 10.5), QPointF(10.5, 5.5));
                p.drawPath(polyline({{6.5, 5.5}, {10.5, 5.5}, {10.5, 9.5}}));
            }},
        {QStringLiteral("pencil"),
            [](QPainter &p, const QPen &) {
                QPainterPath pencil = polyline({{2.5, 13.5}, {3.2, 10.5}, {11, 2.7}, {13.3, 5}, {5.5, 12.8}});
                pencil.closeSubpath();
                p.drawPath(pencil);
                p.drawLine(QPointF(9.5, 4.2), QPointF(11.8, 6.5));
            }},
        {QStringLiteral("arrow.right.circle"),
            [](QPainter &p, const QPen &) {
                p.drawEllipse(QPointF(8, 8), 6.25, 6.25);
                p.drawLine(QPointF(4.8, 8), QPointF(11, 8));
                p.drawPath(polyline({{8.5, 5.5}, {11, 8}, {8.5, 10.5}}));
            }},
        {QStringLiteral("arrow.left.circle"),
            [](QPainter &p, const QPen &) {
                p.drawEllipse(QPointF(8, 8), 6.25, 6.25);
                p.drawLine(QPointF(5, 8), QPointF(11.2, 8));
                p.drawPath(polyline({{7.5, 5.5}, {5, 8}, {7.5, 10.5}}));
            }},
        {QStringLiteral("circle.fill"),
            [](QPainter &p, const QPen &pen) {
                p.setPen(Qt::NoPen);
                p.setBrush(pen.color());
                p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
            }},
        {QStringLiteral("folder"),
            [](QPainter &p, const QPen &) {
                p.drawRoundedRect(QRectF(1.75, 5, 12.5, 9), 1.5, 1.5);
                p.drawPath(polyline({{1.75, 6}, {1.75, 3}, {6, 3}, {7.5, 5}}));
            }},
        {QStringLiteral("link"),
            [](QPainter &p, const QPen &) {
                // Two rounded loops along the diagonal, overlapping by a
                // third so that each end hooks into the other.
                p.translate(8, 8);
                p.rotate(-45);
                p.drawRoundedRect(QRectF(-7.8, -2.9, 10.2, 5.8), 2.9, 2.9);
                p.drawRoundedRect(QRectF(-2.4, -2.9, 10.2, 5.8), 2.9, 2.9);
            }},
        {QStringLiteral("video"),
            [](QPainter &p, const QPen &) {
                p.drawRoundedRect(QRectF(1.5, 4.5, 9, 7), 1.5, 1.5);
                p.drawPolygon(QPolygonF({QPointF(10.5, 7), QPointF(14.5, 4.5), QPointF(14.5, 11.5), QPointF(10.5, 9)}));
            }},
        {QStringLiteral("paintbrush"),
            [](QPainter &p, const QPen &pen) {
                p.drawLine(QPointF(13.5, 2.5), QPointF(7.5, 8.5));
                QPainterPath tip;
                tip.moveTo(7.8, 8.2);
                tip.cubicTo(5, 6.5, 2.5, 9, 3.2, 11);
                tip.cubicTo(3.4, 12, 2.6, 13, 1.8, 13.6);
                tip.cubicTo(5, 14.5, 8.5, 12.5, 7.8, 8.2);
                p.setBrush(pen.color());
                p.drawPath(tip);
            }},
        {QStringLiteral("checkmark"),
            [](QPainter &p, const QPen &) {
                p.drawPath(polyline({{2.5, 8.5}, {6.5, 12.5}, {13.5, 3.5}}));
            }},
        {QStringLiteral("checkmark.circle.fill"),
            [](QPainter &p, const QPen &pen) {
                QPainterPath circle;
                circle.addEllipse(QPointF(8, 8), 7, 7);
                QPainterPathStroker stroker(QPen(Qt::black, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.setPen(Qt::NoPen);
                p.setBrush(pen.color());
                p.drawPath(circle.subtracted(stroker.createStroke(polyline({{4.8, 8.2}, {7, 10.4}, {11.2, 5.6}}))));
            }},
        {QStringLiteral("xmark.circle.fill"),
            [](QPainter &p, const QPen &pen) {
                QPainterPath circle;
                circle.addEllipse(QPointF(8, 8), 7, 7);
                QPainterPath cross = polyline({{5.5, 5.5}, {10.5, 10.5}});
                cross.addPath(polyline({{10.5, 5.5}, {5.5, 10.5}}));
                QPainterPathStroker stroker(QPen(Qt::black, 1.6, Qt::SolidLine, Qt::RoundCap));
                p.setPen(Qt::NoPen);
                p.setBrush(pen.color());
                p.drawPath(circle.subtracted(stroker.createStroke(cross)));
            }},
        {QStringLiteral("key.fill"),
            [](QPainter &p, const QPen &pen) {
                QPainterPath key;
                key.addEllipse(QPointF(5, 8), 3.8, 3.8);
                key.addRect(QRectF(7.5, 7, 7, 2.2));
                key.addRect(QRectF(11.2, 9, 1.8, 2.6));
                key.addRect(QRectF(13.2, 9, 1.4, 2));
                QPainterPath hole;
                hole.addEllipse(QPointF(4.3, 8), 1.3, 1.3);
                p.setPen(Qt::NoPen);
                p.setBrush(pen.color());
                p.drawPath(key.simplified().subtracted(hole));
            }},
        {QStringLiteral("doc.on.doc"),
            [](QPainter &p, const QPen &) {
                p.drawRoundedRect(QRectF(5.5, 5, 8, 9.5), 1.5, 1.5);
                p.drawPath(polyline({{3.5, 11}, {2.5, 11}, {2.5, 1.8}, {10, 1.8}, {10, 3}}));
            }},
        {QStringLiteral("arrow.right"),
            [](QPainter &p, const QPen &) {
                p.drawLine(QPointF(2.5, 8), QPointF(13, 8));
                p.drawPath(polyline({{9, 4}, {13, 8}, {9, 12}}));
            }},
        {QStringLiteral("exclamationmark.triangle.fill"),
            [](QPainter &p, const QPen &pen) {
                QPainterPath triangle = polyline({{8, 1.5}, {15, 14}, {1, 14}});
                triangle.closeSubpath();
                QPainterPath mark;
                mark.addRoundedRect(QRectF(7.2, 5.5, 1.6, 4.8), 0.8, 0.8);
                mark.addEllipse(QPointF(8, 12), 0.95, 0.95);
                QPainterPathStroker round(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.setPen(Qt::NoPen);
                p.setBrush(pen.color());
                p.drawPath(triangle.united(round.createStroke(triangle)).subtracted(mark));
            }},
        {QStringLiteral("info.circle"),
            [](QPainter &p, const QPen &pen) {
                p.drawEllipse(QPointF(8, 8), 6.25, 6.25);
                p.drawLine(QPointF(8, 7.2), QPointF(8, 11.5));
                p.setPen(Qt::NoPen);
                p.setBrush(pen.color());
                p.drawEllipse(QPointF(8, 4.8), 1, 1);
            }},
        {QStringLiteral("calendar.badge.clock"),
            [](QPainter &p, const QPen &) {
                p.drawPath(
                    polyline({{8, 14.5}, {3.5, 14.5}, {2, 13}, {2, 4.5}, {3.5, 3}, {12.5, 3}, {14, 4.5}, {14, 7}}));
                p.drawLine(QPointF(2, 6.5), QPointF(9, 6.5));
                p.drawLine(QPointF(5, 1.5), QPointF(5, 4));
                p.drawLine(QPointF(11, 1.5), QPointF(11, 4));
                p.drawEllipse(QPointF(12, 12), 3.3, 3.3);
                p.drawPath(polyline({{12, 10.3}, {12, 12}, {13.2, 12.8}}));
            }},
        {QStringLiteral("plus.circle"),
            [](QPainter &p, const QPen &) {
                p.drawEllipse(QPointF(8, 8), 6.25, 6.25);
                p.drawLine(QPointF(8, 5), QPointF(8, 11));
                p.drawLine(QPointF(5, 8), QPointF(11, 8));
            }},
        {QStringLiteral("hand.tap"),
            [](QPainter &p, const QPen &) {
                // A pointing finger over a palm, and the ring of a tap.
                QPainterPath hand = polyline({{6, 14.5}, {3.5, 10.5}, {3.6, 9.4}, {4.8, 9.4}, {6.2, 11}, {6.2, 4.5}});
                hand.arcTo(QRectF(6.2, 3.3, 2.2, 2.4), 180, -180);
                hand.lineTo(8.4, 8.5);
                hand.lineTo(12.5, 9.4);
                hand.lineTo(13, 10.5);
                hand.lineTo(12, 14.5);
                p.drawPath(hand);
                p.drawArc(QRectF(4.3, 1, 6, 6), 20 * 16, 140 * 16);
            }},
        {QStringLiteral("gearshape"),
            [](QPainter &p, const QPen &) {
                p.drawEllipse(QPointF(8, 8), 2.2, 2.2);
                QPainterPath gear;
                for (int tooth = 0; tooth < 8; ++tooth) {
                    const qreal angle = tooth * 45.0;
                    QTransform turn;
                    turn.translate(8, 8);
                    turn.rotate(angle);
                    gear.addPolygon(
                        turn.map(QPolygonF({{-1.5, -6.8}, {1.5, -6.8}, {1.5, -4}, {-1.5, -4}, {-1.5, -6.8}})));
                }
                gear.addEllipse(QPointF(8, 8), 5.2, 5.2);
                p.drawPath(gear.simplified());
            }},
    };
    return all;
}

// The tray's calendar in colour, readable on light and dark panels alike,
// for desktops without an icon theme.
QIcon drawnTrayCalendar()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        const QRectF sheet(1.5 * unit, 2.5 * unit, 13 * unit, 12 * unit);
        painter.setPen(QPen(QColor(0x44, 0x44, 0x44), unit));
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(sheet, unit, unit);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xE0, 0x3E, 0x36));
        painter.drawRect(QRectF(sheet.left(), sheet.top(), sheet.width(), 3.5 * unit));
        painter.setBrush(QColor(0x44, 0x44, 0x44));
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 3; ++column)
                painter.drawRect(QRectF(4 * unit + column * 3 * unit, 8 * unit + row * 3 * unit, 2 * unit, 2 * unit));
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The sizes the panel icons come in; panels take the nearest one.
constexpr int PanelIconSizes[] = {16, 22, 24, 32, 48, 64};

QImage tinted(const QImage &source, const QColor &color)
{
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

} // namespace

QImage calendarDayImage(int day, QSize size, qreal devicePixelRatio, bool dark)
{
    if (day < 1 || day > 31 || size.isEmpty() || devicePixelRatio <= 0)
        return {};
    const QSize pixels(qCeil(size.width() * devicePixelRatio), qCeil(size.height() * devicePixelRatio));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // Drawn in device pixels: at 16 px every pixel of the number counts.
    const qreal side = std::min(pixels.width(), pixels.height());
    const qreal outline = std::max(1.0, side / 22.0);
    const QRectF page = QRectF(QPointF((pixels.width() - side) / 2, (pixels.height() - side) / 2), QSizeF(side, side))
                            .adjusted(outline / 2, outline / 2, -outline / 2, -outline / 2);
    const qreal radius = side / 7.0;
    QPainterPath pagePath;
    pagePath.addRoundedRect(page, radius, radius);
    painter.fillPath(pagePath, Qt::white);
    const qreal bandHeight = std::round(side * 0.27);
    QPainterPath band;
    band.addRect(QRectF(page.left(), page.top(), page.width(), bandHeight));
    painter.fillPath(pagePath.intersected(band), QColor(0xE0, 0x3E, 0x36));
    painter.setPen(QPen(dark ? QColor(0xB0, 0xB0, 0xB0) : QColor(0x44, 0x44, 0x44), outline));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(pagePath);

    // The number as large as the space under the band allows, two digits
    // included, in a bold face so that it survives 16 pixels.
    const QRectF body(page.left() + outline, page.top() + bandHeight, page.width() - 2 * outline,
        page.bottom() - page.top() - bandHeight - outline);
    QFont font;
    font.setBold(true);
    font.setHintingPreference(QFont::PreferNoHinting);
    const QString number = QString::number(day);
    int pixelSize = std::max(1, int(body.height() * 0.95));
    for (; pixelSize > 1; --pixelSize) {
        font.setPixelSize(pixelSize);
        const QFontMetricsF metrics(font);
        if (metrics.tightBoundingRect(number).width() <= body.width() * 0.92
            && metrics.tightBoundingRect(number).height() <= body.height() * 0.8)
            break;
    }
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(QColor(0x22, 0x22, 0x22));
    // Centred on the digits' own ink, not the font's line box.
    const QRectF ink = QFontMetricsF(font).tightBoundingRect(number);
    const QPointF origin(body.center().x() - ink.center().x(), body.center().y() - ink.center().y());
    painter.drawText(origin, number);
    painter.end();
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QIcon calendarDayIcon(int day, bool dark)
{
    if (day < 1 || day > 31)
        return {};
    QIcon icon;
    for (int size : PanelIconSizes)
        icon.addPixmap(QPixmap::fromImage(calendarDayImage(day, QSize(size, size), 1.0, dark)));
    return icon;
}

QStringList themeNames(const QString &symbolName)
{
    return table().value(symbolName);
}

QImage drawnSymbol(const QString &symbolName, int pixelSize, const QColor &color, qreal devicePixelRatio)
{
    const auto drawing = drawings().constFind(symbolName);
    if (drawing == drawings().constEnd() || pixelSize <= 0)
        return {};
    const int side = qCeil(pixelSize * devicePixelRatio);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 16.0, side / 16.0);
    // Thin strokes vanish at small sizes; keep them near one device pixel or more.
    QPen pen(color, qMax(1.5, 16.0 / side * 1.1), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    (*drawing)(painter, pen);
    painter.end();
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QImage symbolImage(const QString &symbolName, int pixelSize, const QColor &color, qreal devicePixelRatio)
{
    static QMutex mutex;
    static QHash<QString, QImage> cache;
    const QString key = QStringLiteral("%1|%2|%3|%4")
                            .arg(symbolName)
                            .arg(pixelSize)
                            .arg(color.name(QColor::HexArgb))
                            .arg(devicePixelRatio);
    {
        QMutexLocker lock(&mutex);
        if (const auto found = cache.constFind(key); found != cache.constEnd())
            return *found;
    }
    ensureIconTheme();
    QImage image;
    const QSize size(qCeil(pixelSize * devicePixelRatio), qCeil(pixelSize * devicePixelRatio));
    for (const QString &name : themeNames(symbolName)) {
        if (!name.endsWith(QLatin1String("-symbolic")) || !QIcon::hasThemeIcon(name))
            continue;
        const QImage rendered = QIcon::fromTheme(name).pixmap(size).toImage();
        if (!rendered.isNull()) {
            image = tinted(rendered.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation), color);
            image.setDevicePixelRatio(devicePixelRatio);
            break;
        }
    }
    if (image.isNull())
        image = drawnSymbol(symbolName, pixelSize, color, devicePixelRatio);
    QMutexLocker lock(&mutex);
    cache.insert(key, image);
    return image;
}

QString themeIconName(const QString &symbolName)
{
    ensureIconTheme();
    for (const QString &name : themeNames(symbolName)) {
        if (QIcon::hasThemeIcon(name))
            return name;
    }
    return {};
}

QIcon icon(const QString &symbolName)
{
    if (const QString name = themeIconName(symbolName); !name.isEmpty())
        return QIcon::fromTheme(name);
    if (symbolName == QLatin1String("calendar"))
        return drawnTrayCalendar();
    QIcon drawn;
    for (int size : {16, 22, 24, 32, 48, 64})
        drawn.addPixmap(QPixmap::fromImage(drawnSymbol(symbolName, size, QColor(0x44, 0x44, 0x44))));
    return drawn;
}

} // namespace SymbolIcons
