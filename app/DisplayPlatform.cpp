// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DisplayPlatform.h"

#include "app/LayerShellSurface.h"

#include <QtGlobal>

namespace DisplayPlatform {

Session fromEnvironment()
{
    Session session {qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY")};
    if (session.qpaPlatform.trimmed().isEmpty() && !session.waylandDisplay.isEmpty())
        session.layerShell = LayerShellSurface::sessionOffersLayerShell();
    return session;
}

QByteArray platformArgument(const Session &session)
{
    if (!session.qpaPlatform.trimmed().isEmpty())
        return {};
    if (session.waylandDisplay.isEmpty())
        return {};
    if (session.layerShell)
        return QByteArrayLiteral("wayland;xcb");
    if (session.x11Display.isEmpty())
        return {};
    return QByteArrayLiteral("xcb;wayland");
}

} // namespace DisplayPlatform
