// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// What `brivane --help`, `brivane COMMAND --help` and `brivane --version`
// print. Both programs answer them the same way: the launcher, so that they
// need nothing else, and brivane-app when it is started directly.
namespace HelpText {

// Every command and option, and the exit statuses.
QString full();

// The usage lines alone, as an error about the arguments ends.
QString usage();

// One command's usage, options and exit statuses; empty when `command` is
// none of the commands.
QString forCommand(const QString &command);

// "brivane 1.2.3".
QString version();

// The text these arguments (the program's, the program name first) ask for:
// `--help`, `-h` or `--version` as the first argument, or `--help` or `-h`
// after a command, ahead of a `--` that ends its options. Nothing when they
// ask for something else.
std::optional<QString> answerFor(int argc, const char *const *argv);

} // namespace HelpText
