// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/Clock.h"

#include <QCommandLineParser>
#include <QString>
#include <QTextStream>

#include <functional>
#include <memory>
#include <optional>

// A command: its arguments (the program's, without the command's name), and
// where it writes. Returns the exit status.
using CommandFunction = int (*)(const QStringList &arguments, QTextStream &out, QTextStream &err);

// The application's names, for its settings and folders, and the catalogue
// of the user's language; before any is used.
void nameApplication();

// Runs `command` on the arguments of the application object that runs
// (which must exist), the command's name taken out, writing to stdout and stderr.
int runCommandArguments(CommandFunction command);

// The clock of a command: the system's, or the moment given with `--at`
// (ISO 8601, local time in `zone` when it has no offset). A local time that
// the zone skips (the hour lost when clocks go forward) is read as the clock
// reads it: moved on by the length of the gap, 02:30 becoming 03:30; one
// that comes twice (clocks going back) is its first pass. Null when the text
// is not such a moment.
std::unique_ptr<Clock> clockForCommand(
    const QString &atOptionValue, bool atOptionSet, const QTimeZone &zone = QTimeZone::systemTimeZone());

// The moment `--at` names, or an invalid QDateTime.
QDateTime momentFromOption(const QString &text, const QTimeZone &zone);

// A DATETIME argument as `--at` takes it (ISO 8601; local time when it has
// no offset), placed in `zone`. Nothing when the text is not such a moment.
std::optional<QDateTime> parseCommandDateTime(const QString &text, const QTimeZone &zone);

// Parses a command's arguments (no positional ones allowed) and its `--at`
// option. On bad input writes the reason and `usage` to `err` and returns null;
// the command then exits with status 2.
std::unique_ptr<Clock> parseCommandLine(QCommandLineParser &parser, const QStringList &arguments,
    const QCommandLineOption &atOption, const QString &command, const QString &usage, QTextStream &err);

// Starts an operation with `start` and runs the event loop until the
// operation calls the completion it was handed, or `timeoutMs` passes. A
// completion called at once, inside `start`, counts. True when it completed.
bool waitForCompletion(const std::function<void(const std::function<void()> &complete)> &start, int timeoutMs);
