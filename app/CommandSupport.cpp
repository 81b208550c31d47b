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
