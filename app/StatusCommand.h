#pragma once

#include <QStringList>

class QTextStream;

// `brivane status [--json] [--follow] [--at DATETIME]`: the status title for
// text panels (waybar, polybar, i3blocks …). Returns the exit status; with
// --follow it prints a line at every change until killed.
int runStatusCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
