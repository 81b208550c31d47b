// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>

// Installs the catalogue of the user's language (LANGUAGE, then LC_ALL,
// LC_MESSAGES, LANG) on the running application, where brivane has one.
// Returns the catalogue's language ("de"), or an empty string when the
// texts stay as written.
QString installTranslations(const QLocale &locale = QLocale());
