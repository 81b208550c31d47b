// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program: the command-line commands, or the tray application (handing
// the command to an instance that already runs).
namespace BrivaneApp {

int run(int argc, char **argv);

} // namespace BrivaneApp
