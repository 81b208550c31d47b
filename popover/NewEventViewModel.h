// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/AnyCalendarEvent.h"
#include "calendar/Clock.h"
#include "popover/DateTimeEdit.h"

#include <QAbstractListModel>
#include <QColor>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

#include <optional>

class CalendarStore;

// The calendars a new event can go to, as the form's menu lists them.
class TargetsModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the form's view model")
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
public:
    enum Role { NameRole = Qt::UserRole + 1, ColorRole, IsZohoRole, AccessibleNameRole };

    explicit TargetsModel(QObject *parent = nullptr);

    // `names` are parallel to `targets` (EventCreation::targetNames).
    void setTargets(const QList<CalendarTarget> &targets, const QStringList &names);
    const QList<CalendarTarget> &targets() const { return m_targets; }
    // The name the menu lists the target by, told apart from the others'.
    const QStringList &names() const { return m_names; }
    QString nameOf(const std::optional<CalendarTarget> &target) const;

    // The dot beside the menu: blue without a target, a calendar's own
    // colour (blue when it has none), a Zoho calendar's (orange when unusable).
    static QColor colorOf(const std::optional<CalendarTarget> &target);
    // The calendar's own title.
    static QString titleOf(const CalendarTarget &target);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    QList<CalendarTarget> m_targets;
    QStringList m_names;
};

// The new-event form: its fields, the proposed times, the target calendars,
// whether it can save, and the save itself (once, however often it is asked).
class NewEventViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the popover's view model")
    Q_PROPERTY(QDateTime initialDate READ initialDate CONSTANT)
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(bool canSave READ canSave NOTIFY titleChanged)
    Q_PROPERTY(bool isAllDay READ isAllDay WRITE setAllDay NOTIFY isAllDayChanged)
    Q_PROPERTY(DateTimeEdit *start READ start CONSTANT)
    Q_PROPERTY(DateTimeEdit *end READ end CONSTANT)
    Q_PROPERTY(TargetsModel *targets READ targets CONSTANT)
    Q_PROPERTY(int targetIndex READ targetIndex WRITE selectTarget NOTIFY targetChanged)
    Q_PROPERTY(QColor targetColor READ targetColor NOTIFY targetChanged)
    Q_PROPERTY(QString targetName READ targetName NOTIFY targetChanged)
    Q_PROPERTY(bool targetIsZoho READ targetIsZoho NOTIFY targetChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)
    Q_PROPERTY(QString saveError READ saveError NOTIFY saveErrorChanged)
    Q_PROPERTY(int titleFocusDelay READ titleFocusDelay CONSTANT)
public:
    static constexpr int TitleFocusDelayMs = 150;

    NewEventViewModel(
        const QDateTime &initialDate, CalendarStore &store, const Clock &clock, QObject *parent = nullptr);

    int titleFocusDelay() const { return TitleFocusDelayMs; }
    QDateTime initialDate() const { return m_initialDate; }
    QString title() const { return m_title; }
    void setTitle(const QString &title);
    bool canSave() const;
    bool isAllDay() const { return m_isAllDay; }
    void setAllDay(bool allDay);
    DateTimeEdit *start() { return &m_start; }
    DateTimeEdit *end() { return &m_end; }
    TargetsModel *targets() { return &m_targets; }
    // The effective target: the chosen one, else the first; none when empty.
    std::optional<CalendarTarget> effectiveTarget() const;
    int targetIndex() const;
    Q_INVOKABLE void selectTarget(int index);
    QColor targetColor() const { return TargetsModel::colorOf(effectiveTarget()); }
    QString targetName() const;
    bool targetIsZoho() const { return effectiveTarget() && effectiveTarget()->isZoho(); }
    bool isSaving() const { return m_isSaving; }
    QString saveError() const { return m_saveError; }

    // The form came on screen: the store's default calendar is chosen.
    Q_INVOKABLE void appeared();
    // "Add" or Return in the title. While a save is running (or has
    // succeeded and the sheet is closing) further calls do nothing.
    Q_INVOKABLE void save();
    Q_INVOKABLE void cancel() { emit cancelled(); }

signals:
    void titleChanged();
    void isAllDayChanged();
    void targetChanged();
    void isSavingChanged();
    void saveErrorChanged();
    void saved();
    void cancelled();

private:
    void rebuildTargets();
    void startMoved();
    void setSaving(bool saving);
    void setSaveError(const QString &error);

    QDateTime m_initialDate;
    CalendarStore &m_store;
    const Clock &m_clock;
    QString m_title;
    bool m_isAllDay = false;
    DateTimeEdit m_start;
    DateTimeEdit m_end;
    TargetsModel m_targets;
    std::optional<CalendarTarget> m_selectedTarget;
    bool m_isSaving = false;
    QString m_saveError;
};
