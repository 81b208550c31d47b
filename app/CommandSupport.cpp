#include "app/CommandSupport.h"

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
