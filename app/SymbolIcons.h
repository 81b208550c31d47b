#pragma once

#include <QIcon>

// The symbols the program shows, by their names in the program, mapped to
// the desktop's icon theme, with drawings of our own where the theme has none.
namespace SymbolIcons {

QIcon icon(const QString &symbolName);

// The freedesktop icon names tried for a symbol, best first.
QStringList themeNames(const QString &symbolName);

// The first of those the icon theme has, or nothing when only our own
// drawing stands for the symbol.
QString themeIconName(const QString &symbolName);

} // namespace SymbolIcons
