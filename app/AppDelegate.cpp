// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppDelegate.h"

#include "app/PopoverWindow.h"
#include "app/XdgDesktopLauncher.h"
#include "calendar/CalendarEventManager.h"
#include "calendar/EventFormatting.h"
#include "calendar/MeetingLinks.h"
#include "onboarding/OnboardingViewModel.h"
#include "popover/PopoverViewModel.h"
#include "resources/Theme.h"
#include "settings/AppSettings.h"
#include "settings/AutostartEntry.h"
#include "settings/ui/SettingsViewModel.h"
#include "zoho/ZohoAuthManager.h"
#include "zoho/ZohoCalendarManager.h"
#include "zoho/ZohoProvider.h"

#include <QGuiApplication>
#include <QMenu>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QtQml/qqmlextensionplugin.h>

// The QML modules are linked in statically; whoever uses the delegate gets them.
Q_IMPORT_QML_PLUGIN(Brivane_ResourcesPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_PopoverPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_SettingsPlugin)
Q_IMPORT_QML_PLUGIN(Brivane_OnboardingPlugin)

namespace {
const QString CalendarSymbol = QStringLiteral("calendar");

void bringForward(QWindow &window)
{
    window.raise();
    window.requestActivate();
}

// In the middle of the screen, in front of other programs' windows.
void showCentred(QWindow &window)
{
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        window.setPosition(available.center() - QPoint(window.width() / 2, window.height() / 2));
    }
    window.show();
    bringForward(window);
}

QUrl qmlUrl(const QString &modulePath, const QString &file)
{
    return QUrl(QStringLiteral("qrc:/qt/qml/") + modulePath + QLatin1Char('/') + file);
}
} // namespace

AppDelegate::AppDelegate(AppSettings &settings, const Clock &clock, std::unique_ptr<CalendarStore> store,
    std::unique_ptr<StatusItem> statusItem, std::unique_ptr<DesktopLauncher> launcher, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_clock(clock)
    , m_eventStore(std::move(store))
    , m_statusItem(std::move(statusItem))
    , m_launcher(launcher ? std::move(launcher) : std::make_unique<XdgDesktopLauncher>())
{
    m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
}

AppDelegate::~AppDelegate()
{
    // Windows go before the engine and the models they show.
    m_popover.reset();
    m_settingsWindow.reset();
    m_onboardingWindow.reset();
    delete m_popoverViewModel;
}

void AppDelegate::applicationDidFinishLaunching()
{
    // The entry that starts brivane at login follows the setting, whatever
    // happened to it since (a moved program, a removed file).
    const QString autostartProblem
        = AutostartEntry::apply(m_settings.launchAtLogin(), QCoreApplication::applicationFilePath());
    if (!autostartProblem.isEmpty())
        qWarning("brivane: %s: %s", qPrintable(AutostartEntry::path()), qPrintable(autostartProblem));
    // The icon is there from the start; a tray slot without one looks broken.
    m_statusItem->setIcon(CalendarSymbol, dayOfMonth());
    connect(m_statusItem.get(), &StatusItem::clicked, this, &AppDelegate::handleClick);
    m_statusItem->setMenuProvider([this] { return buildContextMenu(); });

    m_popover = PopoverWindow::create(&m_engine);
    connect(m_popover.get(), &PopoverWindow::firstFrameShown, this, &AppDelegate::popoverFirstFrame);
    // The desktop's text size changed: QML keeps the sizes its texts were
    // made with, so the content is made again, at once where the popover is
    // closed, else the next time it opens.
    connect(Theme::instance(), &Theme::fontChanged, this, [this] {
        m_popoverTextChanged = true;
        refitPopoverText();
    });
    connect(m_popover.get(), &PopoverWindow::firstFrameAfter, this, [this](const QString &what, qint64 ms) {
        if (what == QLatin1String("sheet"))
            emit popoverSheetFirstFrame(ms);
    });

    m_timer.setInterval(TitleIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &AppDelegate::updateStatusTitle);
    m_timer.start();

    connect(m_eventStore.get(), &CalendarStore::changed, this, &AppDelegate::eventStoreChanged);
    // A calendar switched off in the settings leaves the title at once.
    connect(&m_settings, &AppSettings::hiddenCalendarIdsChanged, this, &AppDelegate::updateStatusTitle);
    checkOnboarding();
}

int AppDelegate::dayOfMonth() const
{
    return m_clock.now().toTimeZone(m_clock.timeZone()).date().day();
}

void AppDelegate::checkOnboarding()
{
    if (m_settings.onboardingComplete()) {
        requestCalendarAccess();
        updateStatusTitle();
        return;
    }
    QTimer::singleShot(OnboardingDelayMs, this, &AppDelegate::showOnboarding);
}

std::unique_ptr<QQuickView> AppDelegate::makeWindow(
    const QString &qmlFile, const QVariantMap &initialProperties, const QSize &size)
{
    auto window = std::make_unique<QQuickView>(&m_engine, nullptr);
    window->setResizeMode(QQuickView::SizeRootObjectToView);
    window->setInitialProperties(initialProperties);
    window->setSource(QUrl(qmlFile));
    for (const QQmlError &error : window->errors())
        qWarning("%s", qPrintable(error.toString()));
    window->resize(size);
    window->setMinimumSize(size);
    window->setMaximumSize(size);
    return window;
}

void AppDelegate::showOnboarding()
{
    if (m_onboardingWindow && m_onboardingWindow->isVisible()) {
        // Already on screen: bring it forward rather than stacking a second one.
        bringForward(*m_onboardingWindow);
        return;
    }
    auto *viewModel = new OnboardingViewModel(*m_eventStore, m_settings);
    connect(viewModel, &OnboardingViewModel::completed, this, &AppDelegate::finishOnboarding);
    auto window
        = makeWindow(qmlUrl(QStringLiteral("Brivane/Onboarding"), QStringLiteral("OnboardingView.qml")).toString(),
            {{QStringLiteral("viewModel"), QVariant::fromValue(viewModel)}}, Theme::instance()->scaled(OnboardingSize));
    viewModel->setParent(window.get());
    window->setFlags(Qt::Window | Qt::WindowCloseButtonHint);
    window->setTitle(QString()); // no visible title
    showCentred(*window);
    m_onboardingWindow = std::move(window);
}

void AppDelegate::finishOnboarding()
{
    if (m_onboardingWindow) {
        m_onboardingWindow->close();
        // Deleted later: the completion comes from inside that window's QML.
        m_onboardingWindow.release()->deleteLater();
    }
    requestCalendarAccess();
    updateStatusTitle();
}

void AppDelegate::requestCalendarAccess()
{
    m_eventStore->requestAccess([self = QPointer<AppDelegate>(this)](bool) {
        if (!self)
            return;
        self->updateStatusTitle();
        self->setupPopoverContent();
    });
}

void AppDelegate::setupPopoverContent()
{
    refitPopoverText();
    if (!m_popover || m_popover->hasContent())
        return;
    // Made once: content made again for another text size shows the same
    // model, and so what the user left there.
    if (!m_popoverViewModel) {
        m_popoverViewModel = new PopoverViewModel(*m_eventStore, m_settings, m_clock, *m_launcher);
        showZohoCacheState();
        connect(m_popoverViewModel, &PopoverViewModel::closeRequested, m_popover.get(), &PopoverWindow::closePopover);
        connect(m_popoverViewModel, &PopoverViewModel::quitRequested, this, &AppDelegate::quitRequested);
        connect(m_popoverViewModel, &PopoverViewModel::sheetChanged, this, [this] {
            if (m_popoverViewModel->sheetShown())
                m_popover->markInteraction(QStringLiteral("sheet"));
        });
    }
    m_popover->setContent(qmlUrl(QStringLiteral("Brivane/Popover"), QStringLiteral("MenuBarPopoverView.qml")),
        {{QStringLiteral("viewModel"), QVariant::fromValue(m_popoverViewModel)}});
    m_popover->resize(PopoverWindow::popoverSize());
}

void AppDelegate::refitPopoverText()
{
    if (!m_popoverTextChanged || !m_popover || m_popover->isOpen())
        return;
    m_popoverTextChanged = false;
    m_popover->fitTextSize();
    m_popover->dropContent();
}

void AppDelegate::openSettings()
{
    if (m_settingsWindow && m_settingsWindow->isVisible()) {
        bringForward(*m_settingsWindow);
        return;
    }
    // A closed window is not reused: a new one starts on its first tab.
    auto *viewModel = new SettingsViewModel(*m_eventStore, m_settings, *m_launcher, SettingsViewModel::CalendarsTab);
    viewModel->setZohoAuth(m_zohoAuth);
    auto window = makeWindow(qmlUrl(QStringLiteral("Brivane/Settings"), QStringLiteral("SettingsView.qml")).toString(),
        {{QStringLiteral("viewModel"), QVariant::fromValue(viewModel)}}, Theme::instance()->scaled(SettingsSize));
    viewModel->setParent(window.get());
    window->setFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    window->setTitle(tr("Settings"));
    showCentred(*window);
    if (m_settingsWindow)
        m_settingsWindow.release()->deleteLater();
    m_settingsWindow = std::move(window);
}

void AppDelegate::eventStoreChanged()
{
    QMetaObject::invokeMethod(this, &AppDelegate::updateStatusTitle, Qt::QueuedConnection);
}

void AppDelegate::handleClick(StatusItem::Click click, const QPoint &globalPosition)
{
    if (click == StatusItem::Click::Right) {
        showContextMenu(globalPosition);
        return;
    }
    if (!globalPosition.isNull())
        m_lastItemClick = globalPosition;
    if (m_settings.onboardingComplete())
        togglePopover(globalPosition);
    else
        showOnboarding();
}

void AppDelegate::handleToggleCommand(const QPoint &pointer)
{
    QScreen *screen = QGuiApplication::screenAt(pointer);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QPoint point = screen ? PopoverWindow::pointForToggle(pointer, m_lastItemClick, screen->geometry()) : pointer;
    if (m_settings.onboardingComplete())
        togglePopover(point);
    else
        showOnboarding();
}

void AppDelegate::togglePopover(const QPoint &clickPoint)
{
    if (!m_popover)
        return;
    if (m_popover->isOpen()) {
        m_popover->closePopover();
        return;
    }
    setupPopoverContent();
    m_popover->showBelow(m_statusItem->geometry(), clickPoint);
    if (m_popoverViewModel)
        m_popoverViewModel->appeared();
}

void AppDelegate::showEventDetail(const CalendarEvent &event)
{
    if (!m_popover || !m_settings.onboardingComplete())
        return;
    setupPopoverContent();
    if (!m_popover->isOpen()) {
        m_popover->showBelow(m_statusItem->geometry(), {});
        if (m_popoverViewModel)
            m_popoverViewModel->appeared();
    } else {
        if (!m_popover->isLayerSurface())
            bringForward(*m_popover);
    }
    if (!m_popoverViewModel)
        return;
    if (m_popoverViewModel->sheetKind() == PopoverViewModel::EventDetailSheet)
        m_popoverViewModel->closeSheet();
    m_popoverViewModel->openDetail(AnyCalendarEvent::fromStore(event));
}

void AppDelegate::setZohoCalendarManager(ZohoCalendarManager *zoho)
{
    if (m_zoho || !zoho)
        return; // one Zoho account per process
    m_zoho = zoho;
    auto *provider = new ZohoProvider(*zoho);
    m_eventStore->addProvider(provider);
    provider->start();
    // Kept lists are marked as the last sync's until a sync replaces them.
    connect(zoho, &ZohoCalendarManager::calendarsChanged, this, &AppDelegate::showZohoCacheState);
    connect(zoho, &ZohoCalendarManager::synced, this, &AppDelegate::showZohoCacheState);
    showZohoCacheState();
    if (SettingsViewModel *settings = settingsViewModel())
        settings->setZohoAuth(m_zohoAuth);
}

void AppDelegate::showZohoCacheState()
{
    if (m_popoverViewModel)
        m_popoverViewModel->setZohoCachedSince(m_zoho && m_zoho->isFromCache() ? m_zoho->lastSynced() : QDateTime());
}

void AppDelegate::setZohoAuthManager(ZohoAuthManager *auth)
{
    m_zohoAuth = auth;
}

SettingsViewModel *AppDelegate::settingsViewModel() const
{
    return m_settingsWindow && m_settingsWindow->rootObject()
        ? m_settingsWindow->rootObject()->property("viewModel").value<SettingsViewModel *>()
        : nullptr;
}

void AppDelegate::showContextMenu(const QPoint &globalPosition)
{
    m_statusItem->showMenu(buildContextMenu(), globalPosition);
}

QMenu *AppDelegate::buildContextMenu()
{
    if (m_menu)
        m_menu->deleteLater();
    // A new menu on every right click.
    auto *menu = new QMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The meeting under way or about to start, one click from the panel.
    const std::optional<MeetingLinks::MeetingToJoin> meeting = MeetingLinks::meetingToJoin(*m_eventStore,
        CalendarEventManager::visibleCalendarIds(*m_eventStore, m_settings.hiddenCalendarIds()), m_clock.now());
    if (meeting) {
        const QUrl link = meeting->link;
        menu->addAction(tr("Join Next Meeting: %1").arg(EventFormatting::oneLineTitle(meeting->event.title)), this,
            [this, link] { m_launcher->openUrl(link); });
    } else {
        menu->addAction(tr("Join Next Meeting"))->setEnabled(false);
    }
    menu->addSeparator();
    QAction *settings = menu->addAction(tr("Settings\u2026"), this, &AppDelegate::openSettings);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    menu->addSeparator();
    QAction *quit = menu->addAction(tr("Quit brivane"), this, &AppDelegate::quitRequested);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_menu = menu;
    return menu;
}

void AppDelegate::updateStatusTitle()
{
    const StatusTitle title
        = StatusTitleBuilder::compute(*m_eventStore, m_settings.hiddenCalendarIds(), m_clock.now(), QLocale());
    // The title's timer also turns the icon's page at midnight.
    m_statusItem->setIcon(CalendarSymbol, dayOfMonth());
    m_statusItem->setTitle(title.plainText());
    emit statusTitleUpdated();
}
