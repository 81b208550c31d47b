// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Launcher.h"

#include "app/AgendaCommand.h"
#include "app/CommandSupport.h"
#include "app/HelpText.h"
#include "app/InstanceClient.h"
#include "app/StatusCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace Launcher {
namespace {

const QString ProgramName = QStringLiteral("brivane-app");

// The launcher's own file, as the kernel knows it (argv[0] may be a bare
// name found through PATH, or a symbolic link).
QString ownPath()
{
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? QFile::decodeName(QByteArray(buffer, qsizetype(length))) : QString();
}

// The instance's answer, printed; false when there is none to print.
bool answeredByInstance(const QString &command, QStringList arguments)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    const std::optional<QByteArray> answer = InstanceClient::ask(InstanceClient::socketPath(), command, arguments);
    if (!answer)
        return false;
    std::fwrite(answer->constData(), 1, size_t(answer->size()), stdout);
    std::fflush(stdout);
    if (qEnvironmentVariableIsSet("BRIVANE_TIMING"))
        std::fprintf(stderr, "timing: answered by the running instance in %lld ms\n",
            static_cast<long long>(sinceStart.elapsed()));
    return true;
}

// Prints the running instance's answers for as long as it runs (`status
// --follow`); true when the output went away meanwhile and nothing is left
// to do.
bool followedThroughInstance(const QString &command, const QStringList &arguments)
{
    bool told = false;
    const InstanceClient::FollowEnd end
        = InstanceClient::follow(InstanceClient::socketPath(), command, arguments, [&told](const QByteArray &answer) {
              if (!told && qEnvironmentVariableIsSet("BRIVANE_TIMING"))
                  std::fprintf(stderr, "timing: following the running instance\n");
              told = true;
              return std::fwrite(answer.constData(), 1, size_t(answer.size()), stdout) == size_t(answer.size())
                  && std::fflush(stdout) == 0;
          });
    return end == InstanceClient::FollowEnd::StoppedByCaller;
}

// Whether this process can give the answer brivane-app would: it reads the
// local calendars only, and brivane-app reads the desktop's as well where it
// was built to and a session bus could lead to them.
bool answersAsTheWholeProgram()
{
#ifdef BRIVANE_APP_READS_DESKTOP_CALENDARS
    return !sessionBusMayAnswer(
        qgetenv("DBUS_SESSION_BUS_ADDRESS"), qgetenv("XDG_RUNTIME_DIR"), qEnvironmentVariableIsSet("DISPLAY"));
#else
    return true;
#endif
}

bool isSocket(const QByteArray &path)
{
    struct stat info = {};
    return ::stat(path.constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

} // namespace

QString programPath(const QString &launcherPath)
{
    if (launcherPath.isEmpty())
        return QStringLiteral(BRIVANE_INSTALLED_PROGRAM);
    const QString folder = QFileInfo(launcherPath).absolutePath();
    const QString beside = folder + QLatin1Char('/') + ProgramName;
    if (QFileInfo(beside).isExecutable())
        return beside;
    // Installed: under the launcher's own prefix, wherever that is (a .deb's
    // /usr, a user's ~/.local, a folder a test installed into).
    return QDir::cleanPath(folder + QLatin1Char('/') + QStringLiteral(BRIVANE_PROGRAM_FROM_LAUNCHER));
}

bool sessionBusMayAnswer(const QByteArray &address, const QByteArray &runtimeDir, bool hasDisplay)
{
    if (address.isEmpty())
        return (!runtimeDir.isEmpty() && isSocket(runtimeDir + "/bus")) || hasDisplay;
    // Addresses are tried in turn; one of any other kind than a socket path
    // (abstract sockets, TCP, launchers) may answer.
    for (const QByteArray &entry : address.split(';')) {
        if (entry.isEmpty())
            continue;
        if (!entry.startsWith("unix:"))
            return true;
        QByteArray path;
        for (const QByteArray &pair : entry.mid(5).split(',')) {
            if (pair.startsWith("path="))
                path = QByteArray::fromPercentEncoding(pair.mid(5));
            else if (!pair.startsWith("guid="))
                return true;
        }
        if (path.isEmpty() || isSocket(path))
            return true;
    }
    return false;
}

int run(int argc, char **argv)
{
    // Answered here, so that they work wherever brivane-app is.
    if (const std::optional<QString> text = HelpText::answerFor(argc, argv)) {
        std::fputs(text->toLocal8Bit().constData(), stdout);
        return 0;
    }
    const QByteArray first = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (first == "agenda" || first == "status") {
        QCoreApplication app(argc, argv);
        nameApplication();
        QStringList arguments = QCoreApplication::arguments();
        const QString command = arguments.takeAt(1);
        // BRIVANE_NO_INSTANCE: always load (benchmarks and tests compare both ways).
        const bool mayAskInstance = !qEnvironmentVariableIsSet("BRIVANE_NO_INSTANCE");
        if (mayAskInstance && first == "status" && arguments.contains(QLatin1String("--follow"))) {
            // The instance's titles while it runs; after it, as without one.
            if (followedThroughInstance(command, arguments))
                return 0;
        } else if (mayAskInstance && answeredByInstance(command, arguments)) {
            return 0;
        }
        if (answersAsTheWholeProgram())
            return runCommandArguments(first == "agenda" ? runAgendaCommand : runStatusCommand);
    }
    // Everything else, and a question left to the whole program: in this
    // process (the caller's pid and signals stay valid).
    const QByteArray program = QFile::encodeName(programPath(ownPath()));
    ::execv(program.constData(), argv);
    std::fprintf(stderr, "brivane: cannot start %s: %s\n", program.constData(), std::strerror(errno));
    return 127;
}

} // namespace Launcher
