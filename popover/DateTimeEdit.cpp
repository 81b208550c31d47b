// SPDX-License-Identifier: GPL-3.0-or-later
#include "popover/DateTimeEdit.h"

#include "calendar/CalendarTypes.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTimeZone>

namespace {
struct SegmentRule
{
    const char *name;
    int maximum; // the highest value typed
    int digits; // digits that complete the segment
};
constexpr SegmentRule Rules[] = {
    {QT_TRANSLATE_NOOP("DateTimeEdit", "Day"), 31, 2},
    {QT_TRANSLATE_NOOP("DateTimeEdit", "Month"), 12, 2},
    {QT_TRANSLATE_NOOP("DateTimeEdit", "Year"), 9999, 4},
    {QT_TRANSLATE_NOOP("DateTimeEdit", "Hour"), 23, 2},
    {QT_TRANSLATE_NOOP("DateTimeEdit", "Minute"), 59, 2},
};
} // namespace

DateTimeEdit::DateTimeEdit(QObject *parent)
    : QObject(parent)
{ }

void DateTimeEdit::setValue(const QDateTime &value)
{
    QDateTime bounded = value;
    // Only days an event can be saved on.
    if (bounded.isValid() && bounded.date() < firstStorableDay())
        bounded.setDate(firstStorableDay());
    if (bounded.isValid() && bounded.date() > lastStorableDay())
        bounded.setDate(lastStorableDay());
    if (m_minimum.isValid() && bounded < m_minimum)
        bounded = m_minimum;
    if (!bounded.isValid() || bounded == m_value)
        return;
    m_value = bounded;
    emit valueChanged();
    emit segmentsChanged();
}

void DateTimeEdit::setDateOnly(bool dateOnly)
{
    if (dateOnly == m_dateOnly)
        return;
    clearTyping();
    m_dateOnly = dateOnly;
    emit dateOnlyChanged();
    emit segmentsChanged();
}

void DateTimeEdit::setMinimum(const QDateTime &minimum)
{
    m_minimum = minimum;
    if (m_minimum.isValid() && m_value.isValid() && m_value < m_minimum)
        setValue(m_minimum);
}

QString DateTimeEdit::segmentText(int segment) const
{
    if (segment == m_typingSegment)
        return m_typed;
    const QDateTime &v = m_value;
    switch (segment) {
    case Day:
        return QString::number(v.date().day());
    case Month:
        return QLocale().standaloneMonthName(v.date().month(), QLocale::ShortFormat);
    case Year:
        return QString::number(v.date().year());
    case Hour:
        return v.toString(QStringLiteral("HH"));
    case Minute:
        return v.toString(QStringLiteral("mm"));
    default:
        return {};
    }
}

QVariantList DateTimeEdit::segments() const
{
    static const QString separators[]
        = {QStringLiteral(" "), QStringLiteral(" "), QStringLiteral("   "), QStringLiteral(":"), QString()};
    QVariantList result;
    for (int segment = 0; segment < segmentCount(); ++segment) {
        const bool last = segment == segmentCount() - 1;
        result.append(QVariantMap {{QStringLiteral("text"), segmentText(segment)},
            {QStringLiteral("name"), QCoreApplication::translate("DateTimeEdit", Rules[segment].name)},
            {QStringLiteral("separator"), last ? QString() : separators[segment]}});
    }
    return result;
}

QString DateTimeEdit::text() const
{
    if (!m_value.isValid())
        return {};
    QLocale locale;
    return m_dateOnly ? locale.toString(m_value.date(), QStringLiteral("d MMMM yyyy"))
                      : locale.toString(m_value, QStringLiteral("d MMMM yyyy, HH:mm"));
}

void DateTimeEdit::step(int segment, int delta)
{
    if (segment < 0 || segment >= segmentCount() || !m_value.isValid())
        return;
    clearTyping();
    switch (segment) {
    case Day:
        setValue(m_value.addDays(delta));
        break;
    case Month:
        setValue(m_value.addMonths(delta));
        break;
    case Year:
        setValue(m_value.addYears(delta));
        break;
    case Hour:
        setValue(m_value.addSecs(qint64(delta) * 3600));
        break;
    case Minute:
        setValue(m_value.addSecs(qint64(delta) * 60));
        break;
    }
    emit segmentsChanged(); // a step stopped at the minimum still ends typing
}

int DateTimeEdit::typeDigit(int segment, int digit)
{
    if (segment < 0 || segment >= segmentCount() || digit < 0 || digit > 9 || !m_value.isValid())
        return segment;
    if (m_typingSegment != segment) {
        finishTyping();
        m_typingSegment = segment;
    }
    m_typed += QString::number(digit);
    const SegmentRule &rule = Rules[segment];
    const int number = m_typed.toInt();
    // Complete when the digits are all there, or no further digit could fit.
    if (m_typed.size() >= rule.digits || number * 10 > rule.maximum) {
        clearTyping();
        commit(segment, number);
        emit segmentsChanged();
        return qMin(segment + 1, segmentCount() - 1);
    }
    emit segmentsChanged();
    return segment;
}

void DateTimeEdit::finishTyping()
{
    if (m_typingSegment < 0)
        return;
    const int segment = m_typingSegment;
    const QString typed = m_typed;
    clearTyping();
    if (!typed.isEmpty())
        commit(segment, typed.toInt());
    emit segmentsChanged();
}

void DateTimeEdit::clearTyping()
{
    m_typingSegment = -1;
    m_typed.clear();
}

void DateTimeEdit::commit(int segment, int number)
{
    const QDate date = m_value.date();
    const QTime time = m_value.time();
    int year = date.year();
    int month = date.month();
    int day = date.day();
    int hour = time.hour();
    int minute = time.minute();
    switch (segment) {
    case Day:
        day = number;
        break;
    case Month:
        month = qBound(1, number, 12);
        break;
    case Year:
        year = qMax(1, number);
        break;
    case Hour:
        hour = qBound(0, number, 23);
        break;
    case Minute:
        minute = qBound(0, number, 59);
        break;
    }
    // A day past the month's end becomes its last day.
    day = qBound(1, day, QDate(year, month, 1).daysInMonth());
    setValue(QDateTime(QDate(year, month, day), QTime(hour, minute), m_value.timeZone()));
}
