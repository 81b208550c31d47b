// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QStringList>

// The symbols the program shows, by their names in the program ("calendar",
// "chevron.left", "trash", …), mapped in one table to the desktop's icon
// theme by freedesktop name, with drawings of our own where the theme has none.
namespace SymbolIcons {

// The freedesktop icon names tried for a symbol, best first.
QStringList themeNames(const QString &symbolName);

// The first of themeNames() the icon theme has, or nothing when only our
// own drawing stands for the symbol.
QString themeIconName(const QString &symbolName);

// The symbol as an icon, in colour where the theme has one (the tray icon).
QIcon icon(const QString &symbolName);

// The symbol in one colour, `pixelSize` logical pixels square: the theme's
// symbolic icon tinted, or our own drawing. Cached; cheap to ask again.
QImage symbolImage(const QString &symbolName, int pixelSize, const QColor &color, qreal devicePixelRatio = 1.0);

// A calendar page with the day of the month on it, `size` logical pixels,
// for the panel: a red band over a white page, the number in dark ink, an
// outline that keeps the page apart from a light panel (`dark`: a dark
// panel, the outline is lighter). A null image for a day outside 1–31.
QImage calendarDayImage(int day, QSize size, qreal devicePixelRatio = 1.0, bool dark = false);

// calendarDayImage() in the sizes panels pick from; a null icon for a day
// outside 1–31.
QIcon calendarDayIcon(int day, bool dark = false);

// Our own drawing of the symbol; a null image for an unknown name.
QImage drawnSymbol(const QString &symbolName, int pixelSize, const QColor &color, qreal devicePixelRatio = 1.0);

} // namespace SymbolIcons
