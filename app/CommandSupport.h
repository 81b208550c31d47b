#pragma once

#include "calendar/Clock.h"

#include <QString>

#include <memory>

// The clock of a command: the system's, or the moment given with `--at`
// (ISO 8601, local time when it has no offset). Null when the text is not
// such a moment.
std::unique_ptr<Clock> clockForCommand(const QString &atOptionValue, bool atOptionSet);
