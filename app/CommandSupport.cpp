// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandSupport.h"

#include "app/Translations.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

QDateTime momentFromOption(const QString &text, const QTimeZone &zone)
{
    QDateTime parsed = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (parsed.isValid() && parsed.timeSpec() != Qt::LocalTime)
        return parsed; // it names its own offset
    // Read the date and the time apart, so that a skipped local time is not
    // mistaken for a malformed one.
    const QDateTime naive = QDateTime::fromString(text + QStringLiteral("Z"), Qt::ISODateWithMs);
    if (!naive.isValid())
        return {};
    // The offset in force half a day earlier (always before a transition
    // that night) reads a repeated hour as its first pass and a skipped one
    // as the clock shows it after the jump.
    const int offsetBefore = zone.offsetFromUtc(naive.addSecs(-12 * 3600));
    const QDateTime beforeTransition = naive.addSecs(-offsetBefore).toTimeZone(zone);
    const QDateTime local(naive.date(), naive.time(), zone);
    if (!local.isValid())
        return beforeTransition;
    const bool repeated = beforeTransition.date() == naive.date() && beforeTransition.time() == naive.time();
    return repeated && beforeTransition < local ? beforeTransition : local;
}

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("brivane"));
    QCoreApplication::setOrganizationName(QStringLiteral("brivane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRIVANE_VERSION));
    installTranslations();
}

int runCommandArguments(CommandFunction command)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeAt(1);
    return command(arguments, out, err);
}

std::unique_ptr<Clock> clockForCommand(const QString &atOptionValue, bool atOptionSet, const QTimeZone &zone)
{
    if (!atOptionSet)
        return std::make_unique<SystemClock>();
    const QDateTime at = momentFromOption(atOptionValue, zone);
    if (!at.isValid())
        return nullptr;
    return std::make_unique<FixedClock>(at, zone);
}

std::optional<QDateTime> parseCommandDateTime(const QString &text, const QTimeZone &zone)
{
    const QDateTime moment = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!moment.isValid())
        return std::nullopt;
    // Without an offset Qt reads local time, the system's zone; the clock's
    // zone is the one that counts.
    if (moment.timeSpec() == Qt::LocalTime)
        return QDateTime(moment.date(), moment.time(), zone);
    return moment.toTimeZone(zone);
}

std::unique_ptr<Clock> parseCommandLine(QCommandLineParser &parser, const QStringList &arguments,
    const QCommandLineOption &atOption, const QString &command, const QString &usage, QTextStream &err)
{
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        err << parser.errorText() << (parser.errorText().isEmpty() ? "" : "\n") << usage;
        return nullptr;
    }
    std::unique_ptr<Clock> clock = clockForCommand(parser.value(atOption), parser.isSet(atOption));
    if (!clock)
        err << "brivane " << command << ": "
            << QCoreApplication::translate("CommandSupport", "not an ISO 8601 date and time: %1")
                   .arg(parser.value(atOption))
            << '\n'
            << usage;
    return clock;
}

bool waitForCompletion(const std::function<void(const std::function<void()> &complete)> &start, int timeoutMs)
{
    struct Wait
    {
        bool completed = false;
        QEventLoop *loop = nullptr;
    };
    // Shared with the completion, which may be called after this returns.
    auto wait = std::make_shared<Wait>();
    start([wait] {
        wait->completed = true;
        if (wait->loop)
            wait->loop->quit();
    });
    if (wait->completed)
        return true;
    QEventLoop loop;
    wait->loop = &loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    wait->loop = nullptr;
    return wait->completed;
}
