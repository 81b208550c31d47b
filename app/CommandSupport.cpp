#include "app/CommandSupport.h"

#include <QEventLoop>
#include <QTimer>

std::unique_ptr<Clock> clockForCommand(const QString &atOptionValue, bool atOptionSet)
{
    if (!atOptionSet)
        return std::make_unique<SystemClock>();
    const QDateTime at = QDateTime::fromString(atOptionValue, Qt::ISODateWithMs);
    if (!at.isValid())
        return nullptr;
    return std::make_unique<FixedClock>(at);
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
        err << "brivane " << command << ": not an ISO 8601 date and time: " << parser.value(atOption) << '\n' << usage;
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
