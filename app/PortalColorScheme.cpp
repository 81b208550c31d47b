// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PortalColorScheme.h"

#include <QColor>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {

// The value of `key` in `[section]` of an INI-like file such as kdeglobals.
QString iniValue(const QString &text, const QString &section, const QString &key)
{
    bool inSection = false;
    const QString header = QLatin1Char('[') + section + QLatin1Char(']');
    for (const QStringView rawLine : QStringView(text).split(QLatin1Char('\n'))) {
        const QStringView line = rawLine.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line == header;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && line.first(equals).trimmed() == key)
            return line.sliced(equals + 1).trimmed().toString();
    }
    return {};
}

} // namespace

PortalColorScheme::Fallback PortalColorScheme::desktopFallback()
{
    return {qEnvironmentVariable("GTK_THEME"),
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/kdeglobals"),
        QStandardPaths::findExecutable(QStringLiteral("gsettings"))};
}

PortalColorScheme::PortalColorScheme(const QDBusConnection &bus, Fallback fallback, QObject *parent)
    : ColorSchemeSource(parent)
    , m_bus(bus)
    , m_fallback(std::move(fallback))
{
}

void PortalColorScheme::start()
{
    setScheme(fromDesktopFiles(m_fallback));
    if (!m_bus.isConnected()) {
        askGsettings();
        return;
    }
    // The slot's variant argument is matched by its type's name, which has
    // to be known before the first signal comes.
    qRegisterMetaType<QDBusVariant>();
    // Any sender: the portal's well-known name may change hands (a portal
    // that starts later) while the path and interface are the portal's own.
    m_bus.connect(QString(), QLatin1String(PortalPath), QLatin1String(SettingsInterface),
        QStringLiteral("SettingChanged"), this, SLOT(settingChanged(QString,QString,QDBusVariant)));
    ask(QStringLiteral("ReadOne"));
}

void PortalColorScheme::ask(const QString &method)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(PortalService), QLatin1String(PortalPath),
        QLatin1String(SettingsInterface), method);
    message << QLatin1String(AppearanceNamespace) << QLatin1String(ColorSchemeKey);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, PortalTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, method](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (reply.isError()) {
            // Portals older than version 2 have only Read.
            if (method == QLatin1String("ReadOne"))
                ask(QStringLiteral("Read"));
            else
                askGsettings();
            return;
        }
        m_portalAnswered = true;
        setScheme(fromPortalValue(QVariant::fromValue(reply.value())));
        emit settled();
    });
}

void PortalColorScheme::askGsettings()
{
    if (m_fallback.gsettingsProgram.isEmpty()) {
        emit settled();
        return;
    }
    auto *process = new QProcess(this);
    connect(process, &QProcess::finished, this, [this, process](int exitCode, QProcess::ExitStatus status) {
        process->deleteLater();
        // The portal may have come up meanwhile; it knows better.
        if (!m_portalAnswered && status == QProcess::NormalExit && exitCode == 0) {
            const Scheme gnome = fromGsettings(QString::fromUtf8(process->readAllStandardOutput()));
            if (gnome != Scheme::NoPreference)
                setScheme(gnome);
        }
        emit settled();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            process->deleteLater();
            emit settled();
        }
    });
    process->start(m_fallback.gsettingsProgram,
        {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("color-scheme")});
}

void PortalColorScheme::settingChanged(const QString &nameSpace, const QString &key, const QDBusVariant &value)
{
    if (nameSpace != QLatin1String(AppearanceNamespace) || key != QLatin1String(ColorSchemeKey))
        return;
    m_portalAnswered = true;
    setScheme(fromPortalValue(QVariant::fromValue(value)));
}

void PortalColorScheme::setScheme(Scheme scheme)
{
    if (scheme == m_scheme)
        return;
    m_scheme = scheme;
    emit schemeChanged();
}

PortalColorScheme::Scheme PortalColorScheme::fromPortalValue(const QVariant &value)
{
    QVariant inner = value;
    // Read answers v(v(u)); ReadOne and SettingChanged v(u). Unwrapping is
    // bounded: a malicious answer cannot nest forever, but it cannot nest
    // deeper than D-Bus allows either.
    for (int depth = 0; depth < 64 && inner.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth)
        inner = inner.value<QDBusVariant>().variant();
    if (inner.metaType() != QMetaType::fromType<uint>())
        return Scheme::NoPreference;
    switch (inner.toUInt()) {
    case 1:
        return Scheme::Dark;
    case 2:
        return Scheme::Light;
    default:
        return Scheme::NoPreference;
    }
}

PortalColorScheme::Scheme PortalColorScheme::fromDesktopFiles(const Fallback &fallback)
{
    const QString gtkTheme = fallback.gtkTheme.trimmed();
    if (gtkTheme.endsWith(QLatin1String(":dark"), Qt::CaseInsensitive)
        || gtkTheme.endsWith(QLatin1String("-dark"), Qt::CaseInsensitive))
        return Scheme::Dark;
    if (fallback.kdeglobalsPath.isEmpty())
        return Scheme::NoPreference;
    QFile file(fallback.kdeglobalsPath);
    // kdeglobals is a few kilobytes; anything far bigger is not one.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024)
        return Scheme::NoPreference;
    const QString text = QString::fromUtf8(file.readAll());
    const QString schemeName = iniValue(text, QStringLiteral("General"), QStringLiteral("ColorScheme"));
    if (schemeName.contains(QLatin1String("Dark"), Qt::CaseInsensitive))
        return Scheme::Dark;
    const QStringList rgb = iniValue(text, QStringLiteral("Colors:Window"), QStringLiteral("BackgroundNormal"))
                                .split(QLatin1Char(','));
    if (rgb.size() >= 3) {
        bool okRed = false, okGreen = false, okBlue = false;
        const int red = rgb[0].trimmed().toInt(&okRed);
        const int green = rgb[1].trimmed().toInt(&okGreen);
        const int blue = rgb[2].trimmed().toInt(&okBlue);
        if (okRed && okGreen && okBlue) {
            const QColor window(qBound(0, red, 255), qBound(0, green, 255), qBound(0, blue, 255));
            return window.lightnessF() < 0.5 ? Scheme::Dark : Scheme::Light;
        }
    }
    return schemeName.isEmpty() ? Scheme::NoPreference : Scheme::Light;
}

PortalColorScheme::Scheme PortalColorScheme::fromGsettings(const QString &output)
{
    const QString value = output.trimmed();
    if (value == QLatin1String("'prefer-dark'"))
        return Scheme::Dark;
    if (value == QLatin1String("'prefer-light'"))
        return Scheme::Light;
    return Scheme::NoPreference;
}
