// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/Clock.h"

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime().toTimeZone(timeZone());
}

QTimeZone SystemClock::timeZone() const
{
    return QTimeZone::systemTimeZone();
}

FixedClock::FixedClock(QDateTime now, QTimeZone zone)
    : m_now(now.toTimeZone(zone))
    , m_zone(std::move(zone))
{ }
