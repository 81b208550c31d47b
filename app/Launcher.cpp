#include "app/Launcher.h"

#include "app/InstanceClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
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
bool answeredByInstance(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    const QString command = arguments.takeAt(1);
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

} // namespace

QString programPath(const QString &launcherPath)
{
    const QString beside = QFileInfo(launcherPath).absolutePath() + QLatin1Char('/') + ProgramName;
    if (!launcherPath.isEmpty() && QFileInfo(beside).isExecutable())
        return beside;
    return QStringLiteral(BRIVANE_INSTALLED_PROGRAM);
}

int run(int argc, char **argv)
{
    const QByteArray first = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    // BRIVANE_NO_INSTANCE: always load (benchmarks and tests compare both ways).
    if ((first == "agenda" || first == "status") && !qEnvironmentVariableIsSet("BRIVANE_NO_INSTANCE")
        && answeredByInstance(argc, argv))
        return 0;
    // Everything else, and a question nobody answered: the whole program, in
    // this process (the caller's pid and signals stay valid).
    const QByteArray program = QFile::encodeName(programPath(ownPath()));
    ::execv(program.constData(), argv);
    std::fprintf(stderr, "brivane: cannot start %s: %s\n", program.constData(), std::strerror(errno));
    return 127;
}

} // namespace Launcher
