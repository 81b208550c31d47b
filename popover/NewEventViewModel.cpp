// SPDX-License-Identifier: GPL-3.0-or-later
#include "popover/NewEventViewModel.h"

#include "calendar/CalendarStore.h"
#include "calendar/EventCreation.h"
#include "calendar/FixedColors.h"

#include <QCoreApplication>

TargetsModel::TargetsModel(QObject *parent)
    : QAbstractListModel(parent)
{ }

void TargetsModel::setTargets(const QList<CalendarTarget> &targets, const QStringList &names)
{
    const bool countChanges = targets.size() != m_targets.size();
    beginResetModel();
    m_targets = targets;
    m_names = names;
    endResetModel();
    if (countChanges)
        emit countChanged();
}

QColor TargetsModel::colorOf(const std::optional<CalendarTarget> &target)
{
    if (!target)
        return FixedColors::blue();
    // Zoho's calendars have been orange where their own colour is unusable.
    return hexColor(target->calendar().color).value_or(target->isZoho() ? FixedColors::orange() : FixedColors::blue());
}

QString TargetsModel::titleOf(const CalendarTarget &target)
{
    return target.calendar().title;
}

QString TargetsModel::nameOf(const std::optional<CalendarTarget> &target) const
{
    if (!target)
        return {};
    const qsizetype row = m_targets.indexOf(*target);
    return row >= 0 ? m_names.value(row, titleOf(*target)) : titleOf(*target);
}

int TargetsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_targets.size());
}

QVariant TargetsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_targets.size())
        return {};
    const CalendarTarget &target = m_targets[index.row()];
    switch (role) {
    case NameRole:
        return m_names.value(index.row(), titleOf(target));
    case ColorRole:
        return colorOf(target);
    case IsZohoRole:
        return target.isZoho();
    case AccessibleNameRole: {
        // A name that carries its account already says Zoho.
        const QString name = m_names.value(index.row(), titleOf(target));
        return target.isZoho() && name == titleOf(target)
            ? name + QCoreApplication::translate("TargetsModel", ", Zoho Calendar")
            : name;
    }
    default:
        return {};
    }
}

QHash<int, QByteArray> TargetsModel::roleNames() const
{
    return {
        {NameRole, "name"}, {ColorRole, "targetColor"}, {IsZohoRole, "isZoho"}, {AccessibleNameRole, "accessibleName"}};
}

NewEventViewModel::NewEventViewModel(
    const QDateTime &initialDate, CalendarStore &store, const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_initialDate(initialDate)
    , m_store(store)
    , m_clock(clock)
{
    const EventCreation::Times times = EventCreation::defaultTimes(initialDate, clock.now());
    m_start.setValue(times.start);
    m_end.setValue(times.end);
    m_end.setMinimum(times.start);
    connect(&m_start, &DateTimeEdit::valueChanged, this, &NewEventViewModel::startMoved);

    connect(&m_store, &CalendarStore::changed, this, &NewEventViewModel::rebuildTargets);
    rebuildTargets();
}

void NewEventViewModel::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit titleChanged();
}

bool NewEventViewModel::canSave() const
{
    return EventCreation::canSave(m_title);
}

void NewEventViewModel::setAllDay(bool allDay)
{
    if (allDay == m_isAllDay)
        return;
    m_isAllDay = allDay;
    m_start.setDateOnly(allDay);
    m_end.setDateOnly(allDay);
    emit isAllDayChanged();
}

void NewEventViewModel::startMoved()
{
    // The end follows a start that reaches it, and never comes before it.
    if (m_start.value() >= m_end.value())
        m_end.setValue(m_start.value().addSecs(3600));
    m_end.setMinimum(m_start.value());
}

std::optional<CalendarTarget> NewEventViewModel::effectiveTarget() const
{
    if (m_selectedTarget)
        return m_selectedTarget;
    if (m_targets.targets().isEmpty())
        return std::nullopt;
    return m_targets.targets().first();
}

int NewEventViewModel::targetIndex() const
{
    const std::optional<CalendarTarget> target = effectiveTarget();
    return target ? int(m_targets.targets().indexOf(*target)) : -1;
}

void NewEventViewModel::selectTarget(int index)
{
    if (index < 0 || index >= m_targets.targets().size())
        return;
    m_selectedTarget = m_targets.targets()[index];
    emit targetChanged();
}

QString NewEventViewModel::targetName() const
{
    return m_targets.nameOf(effectiveTarget());
}

void NewEventViewModel::rebuildTargets()
{
    const QList<CalendarTarget> targets = EventCreation::targets(m_store);
    const QStringList names = EventCreation::targetNames(m_store, targets);
    if (names == m_targets.names() && targets.size() == m_targets.targets().size()
        && std::equal(targets.begin(), targets.end(), m_targets.targets().begin(),
            [](const CalendarTarget &a, const CalendarTarget &b) {
                return a == b && TargetsModel::colorOf(a) == TargetsModel::colorOf(b);
            }))
        return;
    m_targets.setTargets(targets, names);
    // A chosen calendar that went away is no longer chosen.
    if (m_selectedTarget && !targets.contains(*m_selectedTarget))
        m_selectedTarget.reset();
    emit targetChanged();
}

void NewEventViewModel::appeared()
{
    if (!m_selectedTarget)
        m_selectedTarget = EventCreation::preselectedTarget(m_store, m_targets.targets());
    emit targetChanged();
}

void NewEventViewModel::save()
{
    if (!canSave() || m_isSaving)
        return;
    setSaving(true);
    setSaveError(QString());
    EventCreation::Draft draft;
    draft.title = m_title;
    draft.start = m_start.value();
    draft.end = m_end.value();
    draft.allDay = m_isAllDay;
    EventCreation::save(draft, effectiveTarget(), m_store,
        [self = QPointer<NewEventViewModel>(this)](const EventCreation::Result &result) {
            if (!self)
                return;
            if (result.ok) {
                // isSaving stays set: the sheet closes, nothing more is saved.
                QMetaObject::invokeMethod(self, &NewEventViewModel::saved, Qt::QueuedConnection);
                return;
            }
            self->setSaveError(result.error);
            self->setSaving(false);
        });
}

void NewEventViewModel::setSaving(bool saving)
{
    if (saving == m_isSaving)
        return;
    m_isSaving = saving;
    emit isSavingChanged();
}

void NewEventViewModel::setSaveError(const QString &error)
{
    if (error == m_saveError)
        return;
    m_saveError = error;
    emit saveErrorChanged();
}
