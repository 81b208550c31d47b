#pragma once

#include <QStringList>

class QTextStream;

// `brivane agenda [--at DATETIME] [--json]`: the events the popover lists,
// for scripts and for checking. Returns the process exit status.
int runAgendaCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
