// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// `brivane` itself: a small program that answers `brivane agenda` and
// `brivane status` from the running instance when one runs (in a few
// milliseconds), and otherwise by itself from the local calendars when the
// desktop's calendars cannot be reached (no session bus: a server, a
// script's environment); else it replaces itself with the whole program,
// `brivane-app`, with the same arguments and the same process. It links no
// Qt Quick, Widgets or Evolution Data Server, whose loading alone costs a
// command tens of milliseconds.
namespace Launcher {

int run(int argc, char **argv);

// Where the whole program is: beside `launcherPath` (a build folder), else
// where the installation that `launcherPath` belongs to keeps it (its
// prefix's libexec/brivane). Without a launcher path, where the configured
// prefix keeps it.
QString programPath(const QString &launcherPath);

// Whether a D-Bus session bus may answer, from the session's
// DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR and DISPLAY. False only when it
// certainly cannot: every address a socket path that is not there, or, with
// no address, no socket in the runtime folder and no X display for which
// GLib could start a bus.
bool sessionBusMayAnswer(const QByteArray &address, const QByteArray &runtimeDir, bool hasDisplay);

} // namespace Launcher
