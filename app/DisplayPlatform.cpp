// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DisplayPlatform.h"

#include <QtGlobal>

namespace DisplayPlatform {

Session fromEnvironment()
{
    return {qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY")};
}

QByteArray platformArgument(const Session &session)
{
    if (!session.qpaPlatform.trimmed().isEmpty())
        return {};
    if (session.waylandDisplay.isEmpty() || session.x11Display.isEmpty())
        return {};
    return QByteArrayLiteral("xcb;wayland");
}

} // namespace DisplayPlatform
