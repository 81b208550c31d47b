// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class CalendarStore;

// How a calendar is named where one is chosen among several (the new-event
// form's menu, `brivane add --calendar`, the agenda's lines): by its title,
// and where more than one calendar has that title, with its account's after
// it ("Personal — On This Computer" beside "Personal — Local").
namespace CalendarNames {

struct Named
{
    QString title;
    QString account; // the account's title, empty when unknown
};

// "Personal — On This Computer"; the title alone without an account.
QString withAccount(const QString &title, const QString &account);

// One name for each of `calendars`, in their order.
QStringList distinct(const QList<Named> &calendars);

// The names of the store's calendars, told apart from each other, by identifier.
QHash<QString, QString> ofStore(const CalendarStore &store);

} // namespace CalendarNames
