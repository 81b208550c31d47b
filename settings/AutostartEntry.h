// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The XDG autostart entry that starts brivane at login
// ($XDG_CONFIG_HOME/autostart/<application id>.desktop), kept in step with
// the "Open at Login" setting.
namespace AutostartEntry {

// Where the entry lives.
QString path();

// The entry's text for a program at `program`.
QByteArray contentFor(const QString &program);

// Writes the entry (for `program`) when `enabled` and it is missing or
// differs, removes it when not; touches nothing when it is as it should
// be. The entry is replaced as a whole, never written through a link at its
// name. Returns the reason in words when that failed, else an empty string.
QString apply(bool enabled, const QString &program);

} // namespace AutostartEntry
