// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/AppSettings.h"

#include "calendar/ZohoTypes.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace {
const QString HiddenCalendarsKey = QStringLiteral("hiddenCalendarIDs");
const QString HiddenZohoCalendarsKey = QStringLiteral("hiddenZohoCalendarIDs");
const QString DimWeekendsKey = QStringLiteral("dimWeekends");
const QString TodayExpandedKey = QStringLiteral("todayExpanded");
const QString UpcomingExpandedKey = QStringLiteral("upcomingExpanded");
const QString LaunchAtLoginKey = QStringLiteral("launchAtLogin");
const QString ShowWeekNumbersKey = QStringLiteral("showWeekNumbers");
const QString ShowRemindersKey = QStringLiteral("showReminders");
const QString DefaultReminderMinutesKey = QStringLiteral("defaultReminderMinutes");
const QString CalendarFoldersKey = QStringLiteral("calendarFolders");
const QString OnboardingCompleteKey = QStringLiteral("onboardingComplete");
const QString ZohoConnectedKey = QStringLiteral("zohoConnected");

// The INI format stores a one-element list as a plain string, so a string is
// read as a list of one.
QStringList stringsOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList();
    if (value.typeId() == QMetaType::QString)
        return {value.toString()};
    if (value.typeId() == QMetaType::QVariantList) {
        QStringList strings;
        for (const QVariant &item : value.toList()) {
            if (item.typeId() != QMetaType::QString)
                return {};
            strings.append(item.toString());
        }
        return strings;
    }
    return {};
}
// Only a real Boolean counts; "1", "yes" or a number read as false.
bool isTrue(const QVariant &value)
{
    return (value.typeId() == QMetaType::Bool && value.toBool())
        || (value.typeId() == QMetaType::QString && value.toString() == QLatin1String("true"));
}
// An absent or unusable value keeps the default.
bool boolOr(const QVariant &value, bool fallback)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() == QMetaType::QString
        && (value.toString() == QLatin1String("true") || value.toString() == QLatin1String("false")))
        return value.toString() == QLatin1String("true");
    return fallback;
}
// A whole number of minutes in the allowed range (the INI file keeps it as
// text); anything else turns the default reminder off.
int validReminderMinutes(const QVariant &value)
{
    bool ok = false;
    const int minutes = value.toString().toInt(&ok);
    if (!ok || minutes < AppSettings::NoDefaultReminder || minutes > AppSettings::MaxDefaultReminderMinutes)
        return AppSettings::NoDefaultReminder;
    return minutes;
}
} // namespace

AppSettings &AppSettings::shared()
{
    // A function-local static is created exactly once, whichever thread asks first.
    static AppSettings *instance = new AppSettings(defaultFilePath());
    return *instance;
}

QString AppSettings::defaultFilePath()
{
    // The same file as InstanceClient::settingsFilePath(), which the launcher
    // reads without this library; tst_appsettings holds the two together.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/brivane/brivane.conf");
}

QString AppSettings::usablePath(const QString &filePath, std::unique_ptr<QTemporaryDir> &fallback, bool &persistent)
{
    const QFileInfo info(filePath);
    QString problem;
    if (info.exists() && !info.isFile())
        problem = QStringLiteral("it is not a regular file");
    else if (info.exists() && !info.isReadable())
        problem = QStringLiteral("permission denied");
    if (problem.isEmpty())
        return filePath;
    persistent = false;
    qWarning("brivane: cannot use the settings file %s (%s); settings are kept until brivane quits",
        qPrintable(filePath), qPrintable(problem));
    fallback = std::make_unique<QTemporaryDir>();
    return fallback->filePath(QStringLiteral("brivane.conf"));
}

AppSettings::AppSettings(const QString &filePath, QObject *parent)
    : QObject(parent)
    , m_filePath(filePath)
    , m_settings(usablePath(filePath, m_fallbackDir, m_persistent), QSettings::IniFormat)
{
    if (m_persistent && m_settings.status() != QSettings::NoError) {
        m_persistent = false;
        qWarning("brivane: the settings file %s cannot be read; settings are kept until brivane quits",
            qPrintable(filePath));
    }
    m_hiddenCalendarIds = readIdSet(HiddenCalendarsKey);
    readLegacyZohoSet();
    m_dimWeekends = isTrue(m_settings.value(DimWeekendsKey));
    m_todayExpanded = boolOr(m_settings.value(TodayExpandedKey), true);
    m_upcomingExpanded = boolOr(m_settings.value(UpcomingExpandedKey), true);
    m_launchAtLogin = isTrue(m_settings.value(LaunchAtLoginKey));
    m_showWeekNumbers = isTrue(m_settings.value(ShowWeekNumbersKey));
    m_showReminders = boolOr(m_settings.value(ShowRemindersKey), true);
    m_defaultReminderMinutes = validReminderMinutes(m_settings.value(DefaultReminderMinutesKey));
}

QSet<QString> AppSettings::readIdSet(const QString &key) const
{
    const QStringList strings = stringsOf(m_settings.value(key));
    return QSet<QString>(strings.begin(), strings.end());
}

void AppSettings::readLegacyZohoSet()
{
    const QVariant legacy = m_settings.value(HiddenZohoCalendarsKey);
    const int type = legacy.typeId();
    // A value of another kind is left in the file as it is, unread.
    if (type != QMetaType::QString && type != QMetaType::QStringList && type != QMetaType::QVariantList)
        return;
    // Every name is carried over; what is not a name stays under the old
    // key, so that nothing of it is lost.
    const QVariantList items = type == QMetaType::QString ? QVariantList {legacy} : legacy.toList();
    for (const QVariant &item : items) {
        if (item.typeId() == QMetaType::QString)
            m_hiddenCalendarIds.insert(zohoStoreCalendarId(item.toString()));
        else
            m_legacyZohoLeftovers.append(item);
    }
    m_legacyZohoSetCarried = true;
}

void AppSettings::writeIdSet(const QString &key, const QSet<QString> &ids)
{
    m_settings.setValue(key, QStringList(ids.begin(), ids.end()));
    // The old Zoho set lives on in this one, written now.
    if (key == HiddenCalendarsKey && m_legacyZohoSetCarried) {
        if (m_legacyZohoLeftovers.isEmpty())
            m_settings.remove(HiddenZohoCalendarsKey);
        else
            m_settings.setValue(HiddenZohoCalendarsKey, m_legacyZohoLeftovers);
        m_legacyZohoSetCarried = false;
    }
    m_settings.sync();
}

void AppSettings::setHiddenCalendarIds(const QSet<QString> &ids)
{
    m_hiddenCalendarIds = ids;
    emit hiddenCalendarIdsChanged();
    writeIdSet(HiddenCalendarsKey, ids);
}

void AppSettings::writeBool(const QString &key, bool value)
{
    m_settings.setValue(key, value);
    m_settings.sync();
}

void AppSettings::setDimWeekends(bool dim)
{
    m_dimWeekends = dim;
    emit dimWeekendsChanged();
    writeBool(DimWeekendsKey, dim);
}

void AppSettings::setLaunchAtLogin(bool launch)
{
    if (launch == m_launchAtLogin)
        return;
    m_launchAtLogin = launch;
    emit launchAtLoginChanged();
    writeBool(LaunchAtLoginKey, launch);
}

void AppSettings::setShowWeekNumbers(bool show)
{
    if (show == m_showWeekNumbers)
        return;
    m_showWeekNumbers = show;
    emit showWeekNumbersChanged();
    writeBool(ShowWeekNumbersKey, show);
}

void AppSettings::setShowReminders(bool show)
{
    if (show == m_showReminders)
        return;
    m_showReminders = show;
    emit showRemindersChanged();
    writeBool(ShowRemindersKey, show);
}

void AppSettings::setDefaultReminderMinutes(int minutes)
{
    if (minutes < NoDefaultReminder || minutes > MaxDefaultReminderMinutes)
        minutes = NoDefaultReminder;
    if (minutes == m_defaultReminderMinutes)
        return;
    m_defaultReminderMinutes = minutes;
    emit defaultReminderMinutesChanged();
    m_settings.setValue(DefaultReminderMinutesKey, minutes);
    m_settings.sync();
}

void AppSettings::setTodayExpanded(bool expanded)
{
    m_todayExpanded = expanded;
    emit todayExpandedChanged();
    writeBool(TodayExpandedKey, expanded);
}

void AppSettings::setUpcomingExpanded(bool expanded)
{
    m_upcomingExpanded = expanded;
    emit upcomingExpandedChanged();
    writeBool(UpcomingExpandedKey, expanded);
}

void AppSettings::toggleCalendar(const QString &calendarIdentifier)
{
    QSet<QString> ids = m_hiddenCalendarIds;
    if (!ids.remove(calendarIdentifier))
        ids.insert(calendarIdentifier);
    setHiddenCalendarIds(ids);
}

bool AppSettings::onboardingComplete() const
{
    return isTrue(m_settings.value(OnboardingCompleteKey));
}

void AppSettings::setOnboardingComplete(bool complete)
{
    m_settings.setValue(OnboardingCompleteKey, complete);
    m_settings.sync();
}

std::optional<bool> AppSettings::zohoConnected() const
{
    m_settings.sync(); // another brivane process may have connected meanwhile
    const QVariant value = m_settings.value(ZohoConnectedKey);
    if (!value.isValid())
        return std::nullopt;
    return isTrue(value);
}

void AppSettings::setZohoConnected(bool connected)
{
    if (zohoConnected() == connected)
        return;
    m_settings.setValue(ZohoConnectedKey, connected);
    m_settings.sync();
}

QUrl AppSettings::zohoAccountsUrl() const
{
    return QUrl(
        m_settings.value(QStringLiteral("zohoAccountsURL"), QStringLiteral("https://accounts.zoho.com")).toString());
}

QUrl AppSettings::zohoCalendarUrl() const
{
    return QUrl(
        m_settings.value(QStringLiteral("zohoCalendarURL"), QStringLiteral("https://calendar.zoho.com")).toString());
}

QStringList AppSettings::calendarFolders() const
{
    return stringsOf(m_settings.value(CalendarFoldersKey));
}

bool AppSettings::hasCalendarFolders() const
{
    return m_settings.contains(CalendarFoldersKey);
}
