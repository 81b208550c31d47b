// SPDX-License-Identifier: GPL-3.0-or-later
// fake-zoho: Zoho's accounts server and Calendar API, played on 127.0.0.1,
// for trying brivane's Zoho connection without an account.
#include "tools/fake-zoho/FakeZohoServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A fake Zoho accounts and Calendar server on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption port(
        QStringLiteral("port"), QStringLiteral("Port (0: any free one)."), QStringLiteral("PORT"), QStringLiteral("0"));
    const QCommandLineOption code(
        QStringLiteral("code"), QStringLiteral("Accept this one-time code (repeatable)."), QStringLiteral("CODE"));
    const QCommandLineOption lifetime(QStringLiteral("token-lifetime"),
        QStringLiteral("Access token lifetime in seconds."), QStringLiteral("SECONDS"));
    const QString hows = FakeZohoServer::failureNames().mid(1).join(QStringLiteral(", "));
    const QCommandLineOption failToken(QStringLiteral("fail-token"),
        QStringLiteral("How the code exchange fails: %1.").arg(hows), QStringLiteral("HOW"));
    const QCommandLineOption failRefresh(
        QStringLiteral("fail-refresh"), QStringLiteral("How a token refresh fails (as above)."), QStringLiteral("HOW"));
    const QCommandLineOption failCalendars(QStringLiteral("fail-calendars"),
        QStringLiteral("How the calendars request fails (as above)."), QStringLiteral("HOW"));
    const QCommandLineOption failEvents(QStringLiteral("fail-events"),
        QStringLiteral("CALENDAR=HOW: how one calendar's events request fails."), QStringLiteral("CALENDAR=HOW"));
    const QCommandLineOption failCreate(
        QStringLiteral("fail-create"), QStringLiteral("How event creation fails (as above)."), QStringLiteral("HOW"));
    const QCommandLineOption slow(
        QStringLiteral("slow-ms"), QStringLiteral("How late \"slow\" answers (3000)."), QStringLiteral("MILLISECONDS"));
    const QCommandLineOption trickle(QStringLiteral("trickle-ms"),
        QStringLiteral("How long \"trickle\" waits between bytes (2000)."), QStringLiteral("MILLISECONDS"));
    const QCommandLineOption redirectTo(QStringLiteral("redirect-to"),
        QStringLiteral("Where \"redirect\" sends requests (http://127.0.0.1:9)."), QStringLiteral("URL"));
    const QCommandLineOption dialect(QStringLiteral("documented-api"),
        QStringLiteral("Speak only the forms of Zoho's published API: range={\"start\",\"end\"} on event lists, "
                       "eventdata in the query on create, \"name\", \"isallday\", token errors with status 400."));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("Print every request's method and path."));
    parser.addOptions({port, code, lifetime, failToken, failRefresh, failCalendars, failEvents, failCreate, slow,
        trickle, redirectTo, dialect, log});
    parser.addPositionalArgument(QStringLiteral("data"),
        QStringLiteral("JSON file: {\"codes\", \"tokenLifetime\", \"calendars\", \"events\": {uid: [...]}}"));
    parser.process(app);

    FakeZohoServer server;
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty()) {
        QFile file(positional.first());
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "fake-zoho: cannot read %s\n", qPrintable(positional.first()));
            return 2;
        }
        QString error;
        if (!server.load(QJsonDocument::fromJson(file.readAll()).object(), &error)) {
            std::fprintf(stderr, "fake-zoho: %s\n", qPrintable(error));
            return 2;
        }
    }
    for (const QString &value : parser.values(code))
        server.addCode(value);
    if (parser.isSet(lifetime))
        server.setTokenLifetime(parser.value(lifetime).toInt());
    auto failure = [&](const QString &name) {
        bool ok = false;
        const FakeZohoServer::Failure value = FakeZohoServer::failureFromName(name, &ok);
        if (!ok) {
            std::fprintf(stderr, "fake-zoho: unknown failure \"%s\"\n", qPrintable(name));
            std::exit(2);
        }
        return value;
    };
    if (parser.isSet(failToken))
        server.setTokenFailure(failure(parser.value(failToken)));
    if (parser.isSet(failRefresh))
        server.setRefreshFailure(failure(parser.value(failRefresh)));
    if (parser.isSet(slow))
        server.setSlowMilliseconds(parser.value(slow).toInt());
    if (parser.isSet(trickle))
        server.setTrickleMilliseconds(parser.value(trickle).toInt());
    if (parser.isSet(redirectTo))
        server.setRedirectTarget(QUrl(parser.value(redirectTo)));
    if (parser.isSet(dialect))
        server.setDialect(FakeZohoServer::Dialect::Documented);
    if (parser.isSet(log)) {
        server.setRequestObserver([](const FakeZohoServer::RecordedRequest &request) {
            std::printf("%s %s\n", request.method.constData(), qPrintable(request.path));
            std::fflush(stdout);
        });
    }
    if (parser.isSet(failCalendars))
        server.setCalendarsFailure(failure(parser.value(failCalendars)));
    if (parser.isSet(failCreate))
        server.setCreateFailure(failure(parser.value(failCreate)));
    for (const QString &value : parser.values(failEvents))
        server.setEventsFailure(value.section(QLatin1Char('='), 0, 0), failure(value.section(QLatin1Char('='), 1)));

    if (!server.start(quint16(parser.value(port).toUInt()))) {
        std::fprintf(stderr, "fake-zoho: cannot listen on port %s\n", qPrintable(parser.value(port)));
        return 1;
    }
    std::printf("fake-zoho listening on %s\n", qPrintable(server.url().toString()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
