// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/IntegrationsTabViewModel.h"

#include "calendar/CalendarStore.h"
#include "calendar/DesktopLauncher.h"
#include "settings/ui/ZohoCodeEntryViewModel.h"
#include "zoho/ZohoAuthManager.h"
#include "zoho/ZohoConfig.h"

const QList<IntegrationInfo> &IntegrationsTabViewModel::integrations()
{
    static const QList<IntegrationInfo> table {
        // The calendars the desktop itself keeps (Evolution's store, GNOME
        // Calendar, KOrganizer): local ones and the accounts it syncs.
        {QStringLiteral(QT_TR_NOOP("Desktop Calendars")), QStringLiteral(QT_TR_NOOP("Calendars on this computer")),
            QStringLiteral(QT_TR_NOOP("Connected on this computer")), QStringLiteral("calendar"),
            QColor::fromRgbF(0.95f, 0.25f, 0.25f), SetupTarget::CalendarApplication, {},
            {QStringLiteral("icloud"), QStringLiteral("local"), QStringLiteral("on my mac"),
                QStringLiteral("birthdays")}},
        {QStringLiteral(QT_TR_NOOP("Google Calendar")),
            QStringLiteral(QT_TR_NOOP("Add via Settings \u2192 Online Accounts")),
            QStringLiteral(QT_TR_NOOP("Connected via Google account")), QStringLiteral("g.circle.fill"),
            QColor::fromRgbF(0.26f, 0.52f, 0.96f), SetupTarget::OnlineAccounts, {QStringLiteral("google")},
            {QStringLiteral("google")}},
        {QStringLiteral(QT_TR_NOOP("Outlook Calendar")),
            QStringLiteral(QT_TR_NOOP("Add via Settings \u2192 Online Accounts")),
            QStringLiteral(QT_TR_NOOP("Connected via Microsoft account")), QStringLiteral("envelope.fill"),
            QColor::fromRgbF(0.0f, 0.47f, 0.84f), SetupTarget::OnlineAccounts,
            {QStringLiteral("ews"), QStringLiteral("mapi"), QStringLiteral("microsoft365"), QStringLiteral("outlook")},
            {QStringLiteral("exchange"), QStringLiteral("microsoft"), QStringLiteral("outlook"),
                QStringLiteral("hotmail"), QStringLiteral("live.com")}},
    };
    return table;
}

bool IntegrationsTabViewModel::isConnected(const QList<CalendarSource> &sources, const IntegrationInfo &info)
{
    for (const CalendarSource &source : sources) {
        if (!source.service.isEmpty() && info.services.contains(source.service))
            return true;
        const QString title = source.title.toLower();
        for (const QString &keyword : info.sourceKeywords) {
            if (title.contains(keyword))
                return true;
        }
    }
    return false;
}

bool IntegrationsTabViewModel::isPlaceholderClientId(const QString &clientId)
{
    return clientId.startsWith(QLatin1String("YOUR_"));
}

IntegrationsTabViewModel::IntegrationsTabViewModel(CalendarStore &store, DesktopLauncher &launcher, QObject *parent)
    : QAbstractListModel(parent)
    , m_store(store)
    , m_launcher(launcher)
{
    connect(&m_store, &CalendarStore::changed, this, &IntegrationsTabViewModel::refresh);
    connect(&m_store, &CalendarStore::loaded, this, &IntegrationsTabViewModel::refresh);
    const QList<CalendarSource> sources = m_store.sources();
    for (const IntegrationInfo &info : integrations())
        m_states.append(stateOf(info, sources));
}

IntegrationsTabViewModel::~IntegrationsTabViewModel() = default;

IntegrationsTabViewModel::RowState IntegrationsTabViewModel::stateOf(
    const IntegrationInfo &info, const QList<CalendarSource> &sources) const
{
    const bool available = info.setupTarget == SetupTarget::CalendarApplication
        ? m_launcher.hasCalendarApp()
        : m_launcher.hasOnlineAccountsSettings();
    return RowState {isConnected(sources, info), available};
}

void IntegrationsTabViewModel::refresh()
{
    const QList<CalendarSource> sources = m_store.sources();
    for (int i = 0; i < m_states.size(); ++i) {
        const RowState state = stateOf(integrations()[i], sources);
        if (state == m_states[i])
            continue;
        m_states[i] = state;
        emit dataChanged(index(i), index(i));
    }
}

void IntegrationsTabViewModel::setZohoAuth(ZohoAuthManager *auth)
{
    for (const QMetaObject::Connection &connection : std::as_const(m_authConnections))
        disconnect(connection);
    m_authConnections.clear();
    m_auth = auth;
    if (auth) {
        m_authConnections.append(connect(
            auth, &ZohoAuthManager::isConnectedChanged, this, &IntegrationsTabViewModel::zohoConnectionChanged));
    }
    emit zohoChanged();
}

void IntegrationsTabViewModel::zohoConnectionChanged()
{
    emit zohoChanged();
    // Connected: the sheet has done its work and goes.
    if (zohoConnected())
        closeCodeSheet();
}

bool IntegrationsTabViewModel::connectedAt(int row) const
{
    return row >= 0 && row < m_states.size() && m_states[row].connected;
}

bool IntegrationsTabViewModel::zohoConnected() const
{
    return m_auth && m_auth->isConnected();
}

QString IntegrationsTabViewModel::zohoSubtitle() const
{
    return zohoConnected() ? tr("Connected via Zoho Self Client") : tr("Connect using a generated code");
}

bool IntegrationsTabViewModel::showsClientIdNote() const
{
    // Beside a working connection the note would only confuse.
    return isPlaceholderClientId(ZohoConfig::clientId()) && !zohoConnected();
}

QString IntegrationsTabViewModel::clientIdNote() const
{
    return tr("This copy of brivane was built without a Zoho client ID, so it cannot connect to Zoho. "
              "The Zoho Calendar section of brivane's README says how to build it with one.");
}

void IntegrationsTabViewModel::setUp(int row)
{
    if (row < 0 || row >= m_states.size())
        return;
    refresh(); // installed or removed since the tab was drawn
    if (!m_states[row].setupAvailable)
        return;
    if (integrations()[row].setupTarget == SetupTarget::CalendarApplication) {
        m_launcher.openCalendarApp(QDate());
        return;
    }
    if (!m_launcher.openOnlineAccountsSettings()) {
        // Found but would not start: the button says so from now on.
        m_states[row].setupAvailable = false;
        emit dataChanged(index(row), index(row));
    }
}

void IntegrationsTabViewModel::openCodeSheet()
{
    if (m_showCodeSheet || zohoConnected())
        return;
    if (m_codeEntry)
        m_codeEntry->deleteLater();
    m_codeEntry = new ZohoCodeEntryViewModel(m_auth, m_launcher, this);
    emit codeEntryChanged();
    m_showCodeSheet = true;
    emit showCodeSheetChanged();
}

void IntegrationsTabViewModel::closeCodeSheet()
{
    if (!m_showCodeSheet)
        return;
    // The model stays while the sheet leaves; the next sheet gets a new one.
    m_showCodeSheet = false;
    emit showCodeSheetChanged();
}

void IntegrationsTabViewModel::disconnectZoho()
{
    if (m_auth)
        m_auth->disconnect();
}

int IntegrationsTabViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_states.size());
}

QVariant IntegrationsTabViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_states.size())
        return {};
    const IntegrationInfo &info = integrations()[index.row()];
    const RowState &state = m_states[index.row()];
    switch (role) {
    case NameRole:
        return tr(info.name.toUtf8().constData());
    case SubtitleRole:
        return tr((state.connected ? info.connectedSubtitle : info.subtitle).toUtf8().constData());
    case ConnectedRole:
        return state.connected;
    case IconRole:
        return info.icon;
    case IconColorRole:
        return info.iconColor;
    case SetupTextRole:
        return state.setupAvailable ? tr("Set up") : tr("Not installed");
    case SetupHelpRole:
        if (state.setupAvailable)
            return info.setupTarget == SetupTarget::CalendarApplication ? tr("Opens your calendar application")
                                                                        : tr("Opens Settings \u2192 Online Accounts");
        return info.setupTarget == SetupTarget::CalendarApplication
            ? tr("No calendar application is installed (GNOME Calendar, KOrganizer or Evolution)")
            : tr("No online-accounts settings on this desktop (GNOME Settings or KDE System Settings)");
    default:
        return {};
    }
}

QHash<int, QByteArray> IntegrationsTabViewModel::roleNames() const
{
    return {{NameRole, "name"}, {SubtitleRole, "subtitle"}, {ConnectedRole, "connected"}, {IconRole, "icon"},
        {IconColorRole, "iconColor"}, {SetupTextRole, "setupText"}, {SetupHelpRole, "setupHelp"}};
}
