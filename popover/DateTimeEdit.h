// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

// The value behind a compact date (and time) field: its segments (day,
// month, year, hour, minute) as the field shows them, stepping a segment up
// or down, and typing digits into one. Never earlier than its minimum.
class DateTimeEdit : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by a form's view model")
    Q_PROPERTY(QDateTime value READ value NOTIFY valueChanged)
    Q_PROPERTY(bool dateOnly READ dateOnly NOTIFY dateOnlyChanged)
    // {text, name, separator} per segment; `separator` follows the segment.
    Q_PROPERTY(QVariantList segments READ segments NOTIFY segmentsChanged)
    Q_PROPERTY(QString text READ text NOTIFY segmentsChanged)
public:
    enum Segment { Day, Month, Year, Hour, Minute };
    Q_ENUM(Segment)

    explicit DateTimeEdit(QObject *parent = nullptr);

    QDateTime value() const { return m_value; }
    void setValue(const QDateTime &value);
    bool dateOnly() const { return m_dateOnly; }
    void setDateOnly(bool dateOnly);
    QDateTime minimum() const { return m_minimum; }
    // An invalid minimum means none.
    void setMinimum(const QDateTime &minimum);

    QVariantList segments() const;
    QString text() const;
    int segmentCount() const { return m_dateOnly ? 3 : 5; }

    Q_INVOKABLE void step(int segment, int delta);
    // Types one digit into `segment`; returns the segment that should take
    // the next key (the next one once this one is complete).
    Q_INVOKABLE int typeDigit(int segment, int digit);
    // Leaving a segment: what was typed so far counts.
    Q_INVOKABLE void finishTyping();

signals:
    void valueChanged();
    void dateOnlyChanged();
    void segmentsChanged();

private:
    QString segmentText(int segment) const;
    void commit(int segment, int number);
    void clearTyping();

    QDateTime m_value;
    QDateTime m_minimum;
    bool m_dateOnly = false;
    int m_typingSegment = -1;
    QString m_typed;
};
