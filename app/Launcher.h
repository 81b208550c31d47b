#pragma once

#include <QString>

// `brivane` itself: a small program that answers `brivane agenda` and
// `brivane status` from the running instance when one runs (in a few
// milliseconds: it loads Qt Core and Qt Network only), and otherwise
// replaces itself with the whole program, `brivane-app`, with the same
// arguments and the same process.
namespace Launcher {

int run(int argc, char **argv);

// Where the whole program is: beside `launcherPath` (a build folder, or an
// unpacked tree), else where it is installed.
QString programPath(const QString &launcherPath);

} // namespace Launcher
