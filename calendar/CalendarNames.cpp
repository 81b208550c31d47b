// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/CalendarNames.h"

#include "calendar/CalendarStore.h"

#include <QCoreApplication>

namespace CalendarNames {

QString withAccount(const QString &title, const QString &account)
{
    if (account.isEmpty())
        return title;
    //: A calendar's name and its account's, where two calendars have one name.
    return QCoreApplication::translate("CalendarNames", "%1 \u2014 %2").arg(title, account);
}

QStringList distinct(const QList<Named> &calendars)
{
    QHash<QString, int> sharing;
    for (const Named &calendar : calendars)
        ++sharing[calendar.title];
    QStringList names;
    names.reserve(calendars.size());
    for (const Named &calendar : calendars)
        names.append(
            sharing.value(calendar.title) > 1 ? withAccount(calendar.title, calendar.account) : calendar.title);
    return names;
}

QHash<QString, QString> ofStore(const CalendarStore &store)
{
    QHash<QString, QString> accounts;
    for (const CalendarSource &source : store.sources())
        accounts.insert(source.identifier, source.title);
    QStringList ids;
    QList<Named> named;
    for (const CalendarInfo &calendar : store.calendars()) {
        ids.append(calendar.identifier);
        named.append({calendar.title, accounts.value(calendar.sourceId)});
    }
    const QStringList names = distinct(named);
    QHash<QString, QString> byId;
    for (qsizetype i = 0; i < ids.size(); ++i)
        byId.insert(ids[i], names[i]);
    return byId;
}

} // namespace CalendarNames
