// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "resources/ColorSchemeSource.h"

#include <QDBusConnection>
#include <QString>

class QDBusVariant;
class QVariant;

// The desktop's light or dark choice as the XDG desktop portal tells it
// (org.freedesktop.appearance color-scheme), followed while the program
// runs. Where no portal answers, GNOME's and KDE's own settings stand in:
// GTK_THEME, gsettings' color-scheme, kdeglobals.
class PortalColorScheme final : public ColorSchemeSource
{
    Q_OBJECT
public:
    static constexpr const char *PortalService = "org.freedesktop.portal.Desktop";
    static constexpr const char *PortalPath = "/org/freedesktop/portal/desktop";
    static constexpr const char *SettingsInterface = "org.freedesktop.portal.Settings";
    static constexpr const char *AppearanceNamespace = "org.freedesktop.appearance";
    static constexpr const char *ColorSchemeKey = "color-scheme";
    static constexpr int PortalTimeoutMs = 5000;

    // What is read when no portal answers.
    struct Fallback
    {
        QString gtkTheme; // the GTK_THEME variable
        QString kdeglobalsPath; // the user's kdeglobals, read if present
        QString gsettingsProgram; // asked for GNOME's color-scheme when set
    };
    // The user's: the environment, the config folder, gsettings on PATH.
    static Fallback desktopFallback();

    PortalColorScheme(const QDBusConnection &bus, Fallback fallback, QObject *parent = nullptr);

    // Takes the files' answer at once, then asks the portal and listens to
    // it; the portal's answer, when it comes, replaces the files'.
    void start();
    Scheme scheme() const override { return m_scheme; }

    // A portal value (uint32, maybe wrapped in variants as Read wraps it).
    static Scheme fromPortalValue(const QVariant &value);
    // GTK_THEME ("Adwaita:dark") and kdeglobals ([General] ColorScheme,
    // else [Colors:Window] BackgroundNormal's lightness).
    static Scheme fromDesktopFiles(const Fallback &fallback);
    // gsettings' answer for org.gnome.desktop.interface color-scheme.
    static Scheme fromGsettings(const QString &output);

signals:
    // The first answer from the portal or, failing it, from gsettings is in.
    void settled();

private Q_SLOTS:
    void settingChanged(const QString &nameSpace, const QString &key, const QDBusVariant &value);

private:
    void ask(const QString &method);
    void askGsettings();
    void setScheme(Scheme scheme);

    QDBusConnection m_bus;
    Fallback m_fallback;
    Scheme m_scheme = Scheme::NoPreference;
    bool m_portalAnswered = false;
};
