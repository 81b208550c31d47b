// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// Which of Qt's display platforms the tray program asks for. Where the
// Wayland compositor offers the layer shell, Wayland: the popover is a
// layer surface there, placed beside the panel with the keyboard. Else, on
// a session that also runs XWayland, X11: there a window can be placed and
// can take the keyboard, which a Wayland client's ordinary window cannot.
namespace DisplayPlatform {

struct Session
{
    QByteArray qpaPlatform; // QT_QPA_PLATFORM: the user's own choice wins
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
    QByteArray x11Display; // DISPLAY
    bool layerShell = false; // the Wayland compositor offers wlr-layer-shell
};

// Asks the compositor about the layer shell only where the answer matters.
Session fromEnvironment();

// Qt's "-platform" argument for this session, or empty for Qt's own choice.
// Wayland stays the fallback where the X11 plugin cannot start.
QByteArray platformArgument(const Session &session);

} // namespace DisplayPlatform
