// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

// Colours that do not follow the desktop's palette: the system colours a
// calendar's or a state's colour falls back to, and Zoho's own. The QML
// theme (Brivane.Resources' Theme) hands the same values to the views.
namespace FixedColors {

inline QColor blue()
{
    return QColor(0x00, 0x7A, 0xFF);
}
inline QColor orange()
{
    return QColor(0xFF, 0x95, 0x00);
}
inline QColor red()
{
    return QColor(0xFF, 0x3B, 0x30);
}
inline QColor green()
{
    return QColor(0x34, 0xC7, 0x59);
}
// Zoho's mark: sRGB 0.84, 0.35, 0.13.
inline QColor zoho()
{
    return QColor::fromRgbF(0.84f, 0.35f, 0.13f);
}

} // namespace FixedColors
