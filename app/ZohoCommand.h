// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class QTextStream;

// `brivane zoho connect CODE | disconnect | status | sync`.
int runZohoCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);
