// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar/EdsAccounts.h"

#include <QColor>
#include <QRegularExpression>

namespace EdsAccounts {
namespace {

struct Service
{
    const char *backend;
    const char *id;
    const char *name;
    // Words that already tell the service when a display name holds one.
    std::initializer_list<const char *> words;
};

const Service Services[] = {
    {"google", "google", "Google", {"google"}},
    {"ews", "ews", "Microsoft Exchange", {"exchange", "microsoft"}},
    {"mapi", "mapi", "Microsoft Exchange", {"exchange", "microsoft"}},
    {"microsoft365", "microsoft365", "Microsoft 365", {"microsoft", "office 365", "365"}},
    {"outlook", "outlook", "Outlook", {"outlook"}},
    {"yahoo", "yahoo", "Yahoo", {"yahoo"}},
    {"etesync", "etesync", "EteSync", {"etesync"}},
};

const Service Nextcloud {"webdav", "nextcloud", "Nextcloud", {"nextcloud", "owncloud"}};
const Service CalDav {"webdav", "caldav", "CalDAV", {"caldav", "webdav", "nextcloud", "owncloud"}};

const Service *serviceOf(const QString &backendName, bool isOnlineAccount)
{
    const QString backend = backendName.trimmed().toLower();
    if (backend == QLatin1String("webdav"))
        return isOnlineAccount ? &Nextcloud : &CalDav;
    for (const Service &service : Services) {
        if (backend == QLatin1String(service.backend))
            return &service;
    }
    return nullptr;
}

} // namespace

QString serviceName(const QString &backendName, bool isOnlineAccount)
{
    const Service *service = serviceOf(backendName, isOnlineAccount);
    return service ? QString::fromLatin1(service->name) : QString();
}

QString serviceId(const QString &backendName, bool isOnlineAccount)
{
    const Service *service = serviceOf(backendName, isOnlineAccount);
    return service ? QString::fromLatin1(service->id) : QString();
}

QString sourceTitle(const QString &displayName, const QString &backendName, bool isOnlineAccount)
{
    const QString name = displayName.trimmed();
    const Service *service = serviceOf(backendName, isOnlineAccount);
    if (!service)
        return name;
    const QString serviceText = QString::fromLatin1(service->name);
    if (name.isEmpty())
        return serviceText;
    for (const char *word : service->words) {
        if (name.contains(QLatin1String(word), Qt::CaseInsensitive))
            return name;
    }
    return serviceText + QStringLiteral(" (") + name + QLatin1Char(')');
}

QString normalizedColor(const QString &text)
{
    QString trimmed = text.trimmed();
    // Evolution writes "#rrggbb", GNOME Calendar "rgb(r,g,b)" (as GTK prints
    // a colour); some tools add an alpha byte to the hexadecimal form.
    static const QRegularExpression rgb(
        QStringLiteral("^rgba?\\(\\s*(\\d{1,3})\\s*,\\s*(\\d{1,3})\\s*,\\s*(\\d{1,3})\\s*(,[^)]*)?\\)$"));
    if (const QRegularExpressionMatch match = rgb.match(trimmed); match.hasMatch()) {
        const int red = match.captured(1).toInt();
        const int green = match.captured(2).toInt();
        const int blue = match.captured(3).toInt();
        if (red > 255 || green > 255 || blue > 255)
            return {};
        return QColor(red, green, blue).name(QColor::HexRgb).toUpper();
    }
    if (trimmed.size() == 9 && trimmed.startsWith(QLatin1Char('#')))
        trimmed.chop(2);
    const QColor color = QColor::fromString(trimmed);
    return color.isValid() ? color.name(QColor::HexRgb).toUpper() : QString();
}

} // namespace EdsAccounts
