// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// Which of Qt's display platforms the tray program asks for. On a Wayland
// session that also runs XWayland, the popover goes through X11: there a
// window can be placed beside the panel's item and can take the keyboard,
// which a Wayland client's ordinary window cannot.
namespace DisplayPlatform {

struct Session
{
    QByteArray qpaPlatform; // QT_QPA_PLATFORM: the user's own choice wins
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
    QByteArray x11Display; // DISPLAY
};

Session fromEnvironment();

// Qt's "-platform" argument for this session, or empty for Qt's own choice.
// Wayland stays the fallback where the X11 plugin cannot start.
QByteArray platformArgument(const Session &session);

} // namespace DisplayPlatform
