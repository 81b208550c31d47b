#include "app/SymbolIcons.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace SymbolIcons {
namespace {

// Symbol name → icon theme names. Every symbol the program uses is here.
const QHash<QString, QStringList> &table()
{
    static const QHash<QString, QStringList> names {
        {QStringLiteral("calendar"),
            {QStringLiteral("x-office-calendar"), QStringLiteral("office-calendar"),
                QStringLiteral("x-office-calendar-symbolic")}},
    };
    return names;
}

// A small calendar sheet, for desktops without an icon theme.
QIcon drawnCalendar()
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

} // namespace

QStringList themeNames(const QString &symbolName)
{
    return table().value(symbolName);
}

QString themeIconName(const QString &symbolName)
{
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita")); // bare X servers name no theme
    for (const QString &name : themeNames(symbolName)) {
        if (QIcon::hasThemeIcon(name))
            return name;
    }
    return {};
}

QIcon icon(const QString &symbolName)
{
    const QString name = themeIconName(symbolName);
    return name.isEmpty() ? drawnCalendar() : QIcon::fromTheme(name);
}

} // namespace SymbolIcons
