// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/VdirLayout.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The calendar folders that khal's and vdirsyncer's configurations name, for
// users who set up those programs and nothing else. Their files are only
// ever read.
namespace DesktopCalendarConfigs {

// What one configuration says.
struct Parsed
{
    QList<Vdir::Folder> folders;
    // Why the text cannot be used; empty when it can. Nothing of a text
    // that cannot be used is taken.
    QString error;
};

// khal's configuration (configobj: `[calendars]`, then one `[[name]]` per
// calendar with `path`, `type`, `color`, `readonly`): its calendars, in
// order, `~` made absolute with `home`. `type = discover` makes the path a
// pattern; birthday calendars (address books) are left out.
Parsed parseKhal(const QByteArray &text, const QString &home);

// vdirsyncer's configuration (INI with JSON values): its filesystem storages
// of .ics files, each named by its section (`[storage NAME]`) as its account.
// What each holds (calendars, or events where a pair syncs no collections)
// is told from the folder.
Parsed parseVdirsyncer(const QByteArray &text, const QString &home);

// "#RRGGBB" for a colour in khal's configuration: "#rrggbb", one of the 16
// terminal colour names ("dark green", "light blue", …) or a terminal
// colour number (0–255); empty for "auto" and anything else.
QString khalColor(const QString &text);

// Where the configurations are: khal's in $XDG_CONFIG_HOME (or
// ~/.config); vdirsyncer's where vdirsyncer looks, the first that exists:
// $VDIRSYNCER_CONFIG, ~/.vdirsyncer/config, $XDG_CONFIG_HOME/vdirsyncer/config.
// Empty values stand for unset variables.
QString khalConfigPath(const QString &xdgConfigHome, const QString &home);
QString vdirsyncerConfigPath(const QString &xdgConfigHome, const QString &home, const QString &vdirsyncerConfig);

struct Found
{
    // khal's calendars first: their colours and read-only flags stay with
    // them where vdirsyncer's storages hold them too.
    QList<Vdir::Folder> folders;
    // vdirsyncer's storages: folder → the name of its section.
    QHash<QString, QString> accountNames;
    // One line per file that is there but could not be used: the file and why.
    QStringList problems;
};

// Reads the two files; an empty path or a missing file is no problem.
Found read(const QString &khalConfig, const QString &vdirsyncerConfig, const QString &home);

// The same for the files of this user's environment ($HOME, $XDG_CONFIG_HOME,
// $VDIRSYNCER_CONFIG); khal's only `withKhal`.
Found readUsersConfigs(bool withKhal = true);

} // namespace DesktopCalendarConfigs
