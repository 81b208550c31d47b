// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar/CalendarTypes.h"
#include "settings/ui/ZohoCodeEntryViewModel.h"

#include <QAbstractListModel>
#include <QColor>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class CalendarStore;
class DesktopLauncher;
class ZohoAuthManager;

// Where a "Set up" button sends the user on this desktop.
enum class SetupTarget {
    CalendarApplication, // where local calendars are made
    OnlineAccounts, // GNOME's or KDE's settings for Google, Microsoft, … accounts
};

// One account kind that reaches brivane through the desktop's calendars.
struct IntegrationInfo
{
    QString name;
    QString subtitle;
    QString connectedSubtitle;
    QString icon; // symbol name, for a kind without a drawn tile
    QColor iconColor;
    SetupTarget setupTarget;
    // The services of this kind (CalendarSource::service). Where a source's
    // service says nothing of the kind (a folder of vdirsyncer's, named by
    // its user; the desktop's own calendars), the keywords, lower case, are
    // searched in its title.
    QStringList services;
    QStringList sourceKeywords;
};

// The Integrations tab: the three account kinds of the desktop's calendars,
// each marked connected when a source is of it, and the Zoho
// connection with its code-entry sheet.
class IntegrationsTabViewModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the settings window's view model")
    Q_PROPERTY(bool zohoConnected READ zohoConnected NOTIFY zohoChanged)
    Q_PROPERTY(QString zohoSubtitle READ zohoSubtitle NOTIFY zohoChanged)
    Q_PROPERTY(bool showCodeSheet READ showCodeSheet NOTIFY showCodeSheetChanged)
    // The open sheet's model, or the last one's while it leaves.
    Q_PROPERTY(ZohoCodeEntryViewModel *codeEntry READ codeEntry NOTIFY codeEntryChanged)
    Q_PROPERTY(bool showsClientIdNote READ showsClientIdNote NOTIFY zohoChanged)
    Q_PROPERTY(QString clientIdNote READ clientIdNote CONSTANT)
public:
    enum Role {
        NameRole = Qt::UserRole + 1,
        SubtitleRole,
        ConnectedRole,
        IconRole,
        IconColorRole,
        SetupTextRole,
        SetupHelpRole,
    };

    // The desktop's own, Google, Outlook: fixed, in this order.
    static const QList<IntegrationInfo> &integrations();
    // True when a source's service is one of the kind's, or its lower-cased
    // title contains one of the keywords.
    static bool isConnected(const QList<CalendarSource> &sources, const IntegrationInfo &info);
    // Whether a client ID is the shipped placeholder rather than a real one.
    static bool isPlaceholderClientId(const QString &clientId);

    IntegrationsTabViewModel(CalendarStore &store, DesktopLauncher &launcher, QObject *parent = nullptr);
    ~IntegrationsTabViewModel() override;

    void setZohoAuth(ZohoAuthManager *auth);

    bool connectedAt(int row) const;
    bool zohoConnected() const;
    QString zohoSubtitle() const;
    bool showCodeSheet() const { return m_showCodeSheet; }
    ZohoCodeEntryViewModel *codeEntry() const { return m_codeEntry; }
    bool showsClientIdNote() const;
    QString clientIdNote() const;

    // Opens the row's setup target; where this desktop has none, the row's
    // button says so instead (and the press checks again, for one installed
    // since).
    Q_INVOKABLE void setUp(int row);
    // A fresh sheet each time: step one, nothing typed.
    Q_INVOKABLE void openCodeSheet();
    Q_INVOKABLE void closeCodeSheet();
    Q_INVOKABLE void disconnectZoho();
    Q_INVOKABLE void refresh();

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void zohoChanged();
    void showCodeSheetChanged();
    void codeEntryChanged();

private:
    struct RowState
    {
        bool connected = false;
        bool setupAvailable = false;
        bool operator==(const RowState &other) const = default;
    };
    RowState stateOf(const IntegrationInfo &info, const QList<CalendarSource> &sources) const;
    void zohoConnectionChanged();

    CalendarStore &m_store;
    DesktopLauncher &m_launcher;
    QPointer<ZohoAuthManager> m_auth;
    QList<QMetaObject::Connection> m_authConnections;
    QList<RowState> m_states;
    bool m_showCodeSheet = false;
    QPointer<ZohoCodeEntryViewModel> m_codeEntry;
};
