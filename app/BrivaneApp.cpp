// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BrivaneApp.h"

#include "app/AddCommand.h"
#include "app/AgendaCommand.h"
#include "app/AppDelegate.h"
#include "app/CommandSupport.h"
#include "app/DBusNotifier.h"
#include "app/DeleteCommand.h"
#include "app/DisplayPlatform.h"
#include "app/HelpText.h"
#include "app/InstanceAnswers.h"
#include "app/JoinCommand.h"
#include "app/PanelStatusItem.h"
#include "app/PopoverWindow.h"
#include "app/PortalColorScheme.h"
#include "app/SingleInstance.h"
#include "app/SleepWatcher.h"
#include "app/StatusCommand.h"
#include "app/StoreSetup.h"
#include "app/TrayStatusItem.h"
#include "app/ZohoCommand.h"
#include "app/ZohoServices.h"
#include "reminders/ReminderScheduler.h"
#include "resources/Theme.h"
#include "settings/AppSettings.h"
#ifdef BRIVANE_HAVE_EDS
#include "calendar/EdsProvider.h"
#endif

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QQuickWindow>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <malloc.h>
#include <vector>

namespace BrivaneApp {
namespace {

// How long a panel that starts with the session has to show its tray.
constexpr int NoTrayNoticeDelayMs = 5000;

// Reached when the launcher (app/Launcher.cpp) found no instance to answer
// and left the command to this program, or for commands an instance never
// answers.
int runCommand(int argc, char **argv, CommandFunction command)
{
    QCoreApplication app(argc, argv);
    nameApplication();
    return runCommandArguments(command);
}

int runTray(int argc, char **argv, const QByteArray &command, std::unique_ptr<SingleInstance::Lock> lock)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    const bool reportTiming = qEnvironmentVariableIsSet("BRIVANE_TIMING");

    // Large blocks straight from the system and back to it when freed: the
    // load's big temporary tables would otherwise be carved from the heap
    // (glibc raises its threshold after the first such block is freed) and
    // leave holes between the calendar records the tray keeps.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);

    // The software renderer draws the small popover in a third of the memory
    // the OpenGL path takes, and opens it faster (bench/bench_tray.sh).
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);

    // The platform is Qt's to pick unless the session offers a better one;
    // an argument, not QT_QPA_PLATFORM, so that programs opened from the
    // popover make their own choice.
    std::vector<char *> arguments(argv, argv + argc);
    QByteArray platformOption = QByteArrayLiteral("-platform");
    QByteArray platform = DisplayPlatform::platformArgument(DisplayPlatform::fromEnvironment());
    if (!platform.isEmpty()) {
        arguments.push_back(platformOption.data());
        arguments.push_back(platform.data());
    }
    arguments.push_back(nullptr);
    int argumentCount = static_cast<int>(arguments.size()) - 1;
    QApplication app(argumentCount, arguments.data());
    nameApplication();
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(QStringLiteral(BRIVANE_APP_ID));

    // Without a lock there is no private place for the socket: this one runs
    // alone, and later starts run alone too.
    const bool alone = !lock;
    SingleInstance instance(SingleInstance::defaultSocketPath(), std::move(lock));
    if (!alone && !instance.listen()) {
        std::fprintf(stderr, "brivane: cannot listen on %s\n", qPrintable(SingleInstance::defaultSocketPath()));
        return 1;
    }

    // Light or dark as the desktop says, followed while running; made before
    // any window so that none shows in the wrong one first.
    PortalColorScheme colorScheme(QDBusConnection::sessionBus(), PortalColorScheme::desktopFallback());
    Theme::instance()->setColorSchemeSource(&colorScheme);
    colorScheme.start();

    AppSettings &settings = AppSettings::shared();
    static SystemClock clock;
    // Our own StatusNotifierItem where the panel hosts them (the title shows
    // beside the icon there), the tray icon elsewhere.
    auto statusItem = std::make_unique<PanelStatusItem>(
        QDBusConnection::sessionBus(), [] { return std::make_unique<TrayStatusItem>(); });
    AppDelegate delegate(settings, clock, createCalendarStore(settings, clock), std::move(statusItem));
    QObject::connect(&delegate, &AppDelegate::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    // Zoho is made after the icon is up; until then agendas are left to the command.
    ZohoServices *zohoForAnswers = nullptr;
    instance.setRequestHandler([&delegate, &zohoForAnswers](const QByteArray &question) {
        using InstanceAnswers::Zoho;
        const Zoho zoho = !zohoForAnswers          ? Zoho::NotYetKnown
            : zohoForAnswers->auth().isConnected() ? Zoho::Held
                                                   : Zoho::NotConnected;
        return InstanceAnswers::answer(question, delegate.eventStore(), zoho);
    });
    // `brivane status --follow` follows the instance's title instead of loading the calendars itself.
    instance.setFollowHandler(
        [&delegate](const QByteArray &question) { return InstanceAnswers::followed(question, delegate.eventStore()); });
    QObject::connect(&delegate, &AppDelegate::statusTitleUpdated, &instance, &SingleInstance::updateFollowers);
    QObject::connect(&instance, &SingleInstance::commandReceived, &delegate, [&delegate](const QByteArray &received) {
        if (received == "settings")
            delegate.openSettings();
        else if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
            // A Wayland client is never told where the pointer is outside
            // its own windows: the item's last click is the best there is.
            delegate.handleToggleCommand(QPoint(-1, -1));
        else
            delegate.handleToggleCommand(QCursor::pos());
    });
    if (reportTiming) {
        QObject::connect(&delegate, &AppDelegate::popoverFirstFrame, [](qint64 ms) {
            std::fprintf(stderr, "timing: popover first frame %lld ms after the click\n", static_cast<long long>(ms));
        });
        QObject::connect(&delegate, &AppDelegate::popoverSheetFirstFrame, [](qint64 ms) {
            std::fprintf(stderr, "timing: sheet first frame %lld ms after the action\n", static_cast<long long>(ms));
        });
    }

    if (reportTiming) {
        // The delegate, connected first, has set the title when this runs.
        QObject::connect(
            &delegate.eventStore(), &CalendarStore::changed, &app, [&delegate, &sinceStart, told = false]() mutable {
                if (told || !delegate.eventStore().isLoaded())
                    return;
                told = true;
                std::fprintf(stderr, "timing: title from the loaded calendars %lld ms after start\n",
                    static_cast<long long>(sinceStart.elapsed()));
            });
    }
    delegate.applicationDidFinishLaunching();
    if (reportTiming && delegate.popover()) {
        delegate.popover()->setMeasuringFrames(true);
        QObject::connect(delegate.popover(), &PopoverWindow::framesWhileShown, [](int frames, double worst) {
            std::fprintf(stderr, "timing: %d frames while open, the slowest %.1f ms\n", frames, worst);
        });
    }
    if (reportTiming)
        std::fprintf(
            stderr, "timing: tray icon requested %lld ms after start\n", static_cast<long long>(sinceStart.elapsed()));
    // Asked through the status item: Qt's own tray check must not run while
    // our item is on show, or Qt's icon would join it on the bus. At login
    // the panel may come up a moment after brivane: it is given that moment
    // before the user is told there is none.
    QTimer::singleShot(NoTrayNoticeDelayMs, &app, [&delegate] {
        if (delegate.statusItem().isAvailable())
            return;
        std::fprintf(stderr,
            "brivane: no system tray on this desktop; brivane keeps running.\n"
            "  Install a tray host (on GNOME the AppIndicator extension), or put\n"
            "  `brivane --toggle` and `brivane status --follow` into your panel.\n");
    });
    if (command == "settings")
        delegate.openSettings();

    // Events' alarms as the desktop's notifications; planned anew when the
    // machine wakes, since its clock moved on meanwhile.
    DBusNotifier notifier(QDBusConnection::sessionBus());
    ReminderScheduler reminders(delegate.eventStore(), settings, clock, notifier, delegate.launcher());
    QObject::connect(&reminders, &ReminderScheduler::openEventRequested, &delegate, &AppDelegate::showEventDetail);
    SleepWatcher sleepWatcher(QDBusConnection::systemBus());
    QObject::connect(&sleepWatcher, &SleepWatcher::resumed, &reminders, &ReminderScheduler::systemResumed);
    reminders.start();

    // Zoho syncs in the background (every five minutes, and when connected),
    // so its events are ready when the popover asks. Started after the icon
    // is up: reading the tokens may wait for the keyring.
    ZohoServices &zoho = ZohoServices::shared();
    zohoForAnswers = &zoho;
    delegate.setZohoAuthManager(&zoho.auth());
    delegate.setZohoCalendarManager(&zoho.calendars());
    bool toldAboutSecrets = false;
    auto tellAboutSecrets = [&zoho, &toldAboutSecrets] {
        if (toldAboutSecrets || !zoho.auth().isConnected() || zoho.auth().tokensSurviveRestart())
            return;
        toldAboutSecrets = true;
        std::fprintf(stderr, "brivane: %s\n", qPrintable(ZohoKeychain::notKeptMessage()));
    };
    QObject::connect(&zoho.auth(), &ZohoAuthManager::isConnectedChanged, &app, tellAboutSecrets);
    tellAboutSecrets();
    return QApplication::exec();
}

} // namespace

int run(int argc, char **argv)
{
#ifdef BRIVANE_HAVE_EDS
    setDesktopProviderMaker(
        [](const Clock &clock) -> std::unique_ptr<CalendarProvider> { return std::make_unique<EdsProvider>(clock); });
#endif
    if (const std::optional<QString> text = HelpText::answerFor(argc, argv)) {
        std::fputs(text->toLocal8Bit().constData(), stdout);
        return 0;
    }
    const QByteArray first = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (first == "agenda")
        return runCommand(argc, argv, runAgendaCommand);
    if (first == "status")
        return runCommand(argc, argv, runStatusCommand);
    if (first == "add")
        return runCommand(argc, argv, runAddCommand);
    if (first == "delete")
        return runCommand(argc, argv, runDeleteCommand);
    if (first == "join")
        return runCommand(argc, argv, runJoinCommand);
    if (first == "zoho")
        return runCommand(argc, argv, runZohoCommand);
    if (argc > 2 || (!first.isEmpty() && first != "--toggle" && first != "--settings")) {
        std::fprintf(
            stderr, "brivane: unknown option \"%s\"\n%s", argv[argc > 2 ? 2 : 1], qPrintable(HelpText::usage()));
        return 2;
    }

    // Already running: that instance toggles its popover or opens its
    // settings. The lock and the socket's place need no application object;
    // only a process that hands its command over makes one (and ends with
    // it). No QCoreApplication may come and go before the tray's own: its
    // end clears Qt's accessibility factories, and screen readers would no
    // longer see the windows.
    const QByteArray command = first == "--settings" ? QByteArray("settings") : QByteArray("toggle");
    const QString socketPath = SingleInstance::defaultSocketPath();
    if (socketPath.isEmpty()) {
        std::fprintf(stderr,
            "brivane: no private runtime folder (XDG_RUNTIME_DIR is not set and the temporary folder's is not "
            "this user's alone); running without --toggle and without answering other commands\n");
        return runTray(argc, argv, command, nullptr);
    }
    std::unique_ptr<SingleInstance::Lock> lock = SingleInstance::tryLock(socketPath);
    if (!lock) {
        QCoreApplication sender(argc, argv);
        nameApplication();
        if (SingleInstance::sendToRunning(socketPath, command))
            return 0;
        std::fprintf(stderr, "brivane: another brivane is running but does not answer\n");
        return 1;
    }
    return runTray(argc, argv, command, std::move(lock));
}

} // namespace BrivaneApp
