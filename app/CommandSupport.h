#pragma once

#include "calendar/Clock.h"

#include <QCommandLineParser>
#include <QString>
#include <QTextStream>

#include <functional>
#include <memory>

// The clock of a command: the system's, or the moment given with `--at`
// (ISO 8601, local time when it has no offset). Null when the text is not
// such a moment.
std::unique_ptr<Clock> clockForCommand(const QString &atOptionValue, bool atOptionSet);

// Parses a command's arguments (no positional ones allowed) and its `--at`
// option. On bad input writes the reason and `usage` to `err` and returns null;
// the command then exits with status 2.
std::unique_ptr<Clock> parseCommandLine(QCommandLineParser &parser, const QStringList &arguments,
    const QCommandLineOption &atOption, const QString &command, const QString &usage, QTextStream &err);

// Starts an operation with `start` and runs the event loop until the
// operation calls the completion it was handed, or `timeoutMs` passes. A
// completion called at once, inside `start`, counts. True when it completed.
bool waitForCompletion(const std::function<void(const std::function<void()> &complete)> &start, int timeoutMs);
