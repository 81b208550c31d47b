// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QTimeZone>

// The one source of "now" and of the user's time zone. Everything that needs
// either receives a Clock, so tests and `--at` can fix the moment.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // The zone in which floating times and all-day dates are placed.
    virtual QTimeZone timeZone() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
    QTimeZone timeZone() const override;
};

class FixedClock final : public Clock
{
public:
    explicit FixedClock(QDateTime now, QTimeZone zone = QTimeZone::systemTimeZone());
    QDateTime now() const override { return m_now; }
    QTimeZone timeZone() const override { return m_zone; }
    void setNow(const QDateTime &now) { m_now = now.toTimeZone(m_zone); }
    void advanceSeconds(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
    QTimeZone m_zone;
};
