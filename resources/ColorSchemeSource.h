// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

// Where the desktop's choice between light and dark comes from. The theme
// follows one source; the running program's reads the desktop (see
// app/PortalColorScheme), tests hand in their own.
class ColorSchemeSource : public QObject
{
    Q_OBJECT
public:
    // The values of the desktop portal's appearance color-scheme setting.
    enum class Scheme { NoPreference = 0, Dark = 1, Light = 2 };
    Q_ENUM(Scheme)

    using QObject::QObject;

    virtual Scheme scheme() const = 0;

signals:
    // The scheme reads differently from before.
    void schemeChanged();
};
