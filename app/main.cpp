#include "app/AgendaCommand.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brivane"));
    QCoreApplication::setOrganizationName(QStringLiteral("brivane"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments();
    const QString command = arguments.size() > 1 ? arguments.at(1) : QString();

    if (command.isEmpty() || command == QLatin1String("agenda")) {
        if (!command.isEmpty())
            arguments.removeAt(1);
        return runAgendaCommand(arguments, out, err);
    }
    err << "brivane: unknown command \"" << command << "\"\n"
        << "usage: brivane agenda [--at DATETIME] [--json]\n";
    return 2;
}
