// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/IcsRecords.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcIcs)

struct icalproperty_impl;
struct icalcomponent_impl;

namespace IcsParser {

// Files larger than this are not parsed at all: no calendar entry needs it,
// and a runaway file must not stall the store.
constexpr qint64 MaxFileSize = 32 * 1024 * 1024;

// libical reads a physical line in time quadratic in its length, and a
// property in time quadratic in its number of parameters. Lines longer than
// this are folded before parsing (folding changes nothing of the content);
// properties with more parameters are left out.
constexpr qsizetype MaxPhysicalLineLength = 8192;
constexpr int MaxParametersPerProperty = 100;

// The text as libical is given it: `content` itself when nothing needs
// folding or leaving out (the common case, no copy), otherwise a rewritten
// copy; what was left out is added to `problems`.
QByteArray preparedForParsing(const QByteArray &content, QStringList &problems);

// Notes, location and link are left out of the records unless asked for.
enum class Details { Omit, Keep };

// Parses the text of one .ics file. Never throws and never fails as a
// whole: what cannot be read is listed in `problems`.
ParsedFile parse(
    const QString &path, const QString &calendarId, const QByteArray &content, Details details = Details::Omit);

// Reads and parses a file from disk; a file that cannot be read yields an
// empty record with the reason in `problems`.
ParsedFile readFile(const QString &path, const QString &calendarId, Details details = Details::Omit);

// The time held by a DTSTART, EXDATE or RECURRENCE-ID property, its TZID
// resolved against the VTIMEZONEs of `calendar` where needed.
IcsTime timeOfProperty(icalproperty_impl *property, icalcomponent_impl *calendar);

// Logs one warning for a file with problems.
void reportProblems(const ParsedFile &file);

} // namespace IcsParser
