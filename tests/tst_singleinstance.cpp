// SPDX-License-Identifier: GPL-3.0-or-later
// One brivane per session: later starts hand over their command, and a
// socket left by a crashed run does not block the next start.
#include "TestSupport.h"

#include "app/SingleInstance.h"

#include <QLocalSocket>
#include <QProcess>
#include <QtConcurrent>

#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace TestSupport;

class SingleInstanceTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString socketPath(const char *name) const { return m_dir.path() + "/" + name; }

    // A raw client connection, as another process makes it; -1 when no
    // descriptor is left.
    static int connectedClient(const QString &path)
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return -1;
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof(address.sun_path));
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    // Sends from another thread, as a second process would, while this
    // thread's event loop serves the running instance.
    static bool sendFromElsewhere(const QString &path, const QByteArray &command)
    {
        QFuture<bool> sent
            = QtConcurrent::run([path, command] { return SingleInstance::sendToRunning(path, command); });
        QDeadlineTimer deadline(5000);
        while (!sent.isFinished() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return sent.isFinished() && sent.result();
    }

private slots:
    void laterStartsHandTheirCommandOver()
    {
        const QString path = socketPath("running.socket");
        QVERIFY(!SingleInstance::sendToRunning(path, "toggle", 200)); // nobody yet

        SingleInstance running(path, SingleInstance::tryLock(path));
        QVERIFY(running.listen());
        QSignalSpy received(&running, &SingleInstance::commandReceived);
        QVERIFY(sendFromElsewhere(path, "toggle"));
        QVERIFY(sendFromElsewhere(path, "settings"));
        QCOMPARE(received.size(), 2);
        QCOMPARE(received[0][0].toByteArray(), QByteArray("toggle"));
        QCOMPARE(received[1][0].toByteArray(), QByteArray("settings"));
    }

    // The real program, started again while an instance runs: it hands the
    // command over and exits at once, without a window of its own.
    void secondStartOfTheProgramHandsOverAndExits_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("plain start") << QStringList {} << QByteArray("toggle");
        QTest::newRow("--toggle") << QStringList {"--toggle"} << QByteArray("toggle");
        QTest::newRow("--settings") << QStringList {"--settings"} << QByteArray("settings");
    }
    void secondStartOfTheProgramHandsOverAndExits()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, command);
        SingleInstance running(
            SingleInstance::defaultSocketPath(), SingleInstance::tryLock(SingleInstance::defaultSocketPath()));
        QVERIFY(running.listen());
        QSignalSpy received(&running, &SingleInstance::commandReceived);

        QProcess second;
        second.setProcessChannelMode(QProcess::ForwardedChannels);
        second.start(QStringLiteral(BRIVANE_BINARY), arguments);
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 10000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(received.size(), 1);
        QCOMPARE(received[0][0].toByteArray(), command);
    }

    void staleSocketOfACrashedRunIsTakenOver()
    {
        const QString path = socketPath("stale.socket");
        // What a killed process leaves: a bound socket file nobody listens on.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof(address.sun_path));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        ::close(fd);
        QVERIFY(QFileInfo::exists(path));

        SingleInstance instance(path, SingleInstance::tryLock(path));
        QVERIFY(instance.listen());
        QSignalSpy received(&instance, &SingleInstance::commandReceived);
        QVERIFY(sendFromElsewhere(path, "toggle"));
        QCOMPARE(received.size(), 1);
    }

    // Two starts at the same instant: exactly one becomes the instance (the
    // other hands its command over), however the race falls.
    void simultaneousStartsLeaveOneInstance()
    {
        for (int round = 0; round < 5; ++round) {
            QList<QProcess *> starts;
            for (int i = 0; i < 2; ++i) {
                auto *process = new QProcess(this);
                process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
                starts.append(process);
            }
            for (QProcess *process : starts)
                process->start(QStringLiteral(BRIVANE_BINARY), QStringList {});
            // One hands over and exits; the other keeps running.
            QVERIFY(waitFor(
                [&] {
                    return std::count_if(starts.begin(), starts.end(), [](QProcess *p) {
                        return p->state() == QProcess::NotRunning;
                    }) == 1;
                },
                20000));
            QProcess *running = *std::find_if(
                starts.begin(), starts.end(), [](QProcess *p) { return p->state() != QProcess::NotRunning; });
            QProcess *handedOver = starts[0] == running ? starts[1] : starts[0];
            QCOMPARE(handedOver->exitCode(), 0);
            QVERIFY(!SingleInstance::tryLock(SingleInstance::defaultSocketPath()));
            running->terminate();
            QVERIFY(running->waitForFinished(10000));
            qDeleteAll(starts);
        }
    }

    // A paused or busy instance still holds its lock: a later start does not
    // take its place, it says that nobody answers.
    void pausedInstanceIsNotTakenForDead()
    {
        const QString path = SingleInstance::defaultSocketPath();
        QFile::remove(path); // left by an instance an earlier test ended
        QProcess holder; // holds the lock and never answers, as a stopped process
        holder.start("flock", {"-o", SingleInstance::lockPathFor(path), "sleep", "60"});
        QVERIFY(holder.waitForStarted());
        QVERIFY(waitFor([&] { return !SingleInstance::tryLock(path); }));

        QProcess second;
        second.start(QStringLiteral(BRIVANE_BINARY), QStringList {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(second.readAllStandardError().contains("does not answer"));
        QVERIFY(!QFileInfo::exists(path)); // it never listened
        holder.kill();
        holder.waitForFinished();
        QVERIFY(waitFor([&] { return SingleInstance::tryLock(path) != nullptr; })); // released with the process
    }

    // A client that sends endless bytes is cut off after one short line's
    // worth; the instance goes on serving others.
    void endlessClientIsDropped()
    {
        const QString path = socketPath("flood.socket");
        SingleInstance running(path, SingleInstance::tryLock(path));
        QVERIFY(running.listen());
        QSignalSpy received(&running, &SingleInstance::commandReceived);
        QLocalSocket flood;
        flood.connectToServer(path);
        QVERIFY(flood.waitForConnected(2000));
        const QByteArray chunk(64 * 1024, 'x');
        qint64 sent = 0;
        while (flood.state() == QLocalSocket::ConnectedState && sent < 64 * 1024 * 1024) {
            sent += flood.write(chunk);
            flood.waitForBytesWritten(50);
            QCoreApplication::processEvents();
        }
        QVERIFY(waitFor([&] { return flood.state() == QLocalSocket::UnconnectedState; }));
        QVERIFY(sent < 64 * 1024 * 1024);
        QVERIFY(received.isEmpty());
        QVERIFY(sendFromElsewhere(path, "toggle"));
        QCOMPARE(received.size(), 1);
    }

    // Clients that hold their connections until no descriptor is left: the
    // instance pauses accepting, keeps its socket, and serves again once
    // they are gone.
    void runningOutOfDescriptorsKeepsTheSocket()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizers' runtime needs descriptors of its own: without any it reports valid objects as broken");
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
        QSKIP("the sanitizers' runtime needs descriptors of its own: without any it reports valid objects as broken");
#endif
#endif
        const QString path = socketPath("exhausted.socket");
        SingleInstance running(path, SingleInstance::tryLock(path));
        QVERIFY(running.listen());
        QSignalSpy received(&running, &SingleInstance::commandReceived);

        rlimit original = {};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &original), 0);
        const qsizetype inUse = QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size();
        rlimit scarce = original;
        scarce.rlim_cur = rlim_t(inUse + 24);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &scarce), 0);
        std::vector<int> clients;
        for (int i = 0; i < 200; ++i) {
            const int fd = connectedClient(path);
            if (fd < 0)
                break;
            clients.push_back(fd);
            QCoreApplication::processEvents();
        }
        for (int round = 0; round < 20; ++round)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const bool pausedWhileExhausted = running.isAcceptPaused();
        for (const int fd : clients)
            ::close(fd);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &original), 0);
        QVERIFY(clients.size() > 10); // the limit was reached by clients and instance alike
        QVERIFY(pausedWhileExhausted);

        QVERIFY(QFileInfo::exists(path));
        QVERIFY(running.isListening());
        QVERIFY(sendFromElsewhere(path, "toggle"));
        QCOMPARE(received.size(), 1);
    }

    // More idle connections than the instance serves at once: the extra
    // ones are closed as they come, the instance stays reachable once the
    // crowd leaves.
    void crowdOfIdleClientsIsCutOff()
    {
        const QString path = socketPath("crowd.socket");
        SingleInstance running(path, SingleInstance::tryLock(path));
        QVERIFY(running.listen());
        std::vector<int> clients;
        for (int i = 0; i < SingleInstance::MaxClients + 20; ++i) {
            const int fd = connectedClient(path);
            QVERIFY(fd >= 0);
            clients.push_back(fd);
        }
        int closedByInstance = 0;
        QVERIFY(waitFor([&] {
            closedByInstance = 0;
            for (const int fd : clients) {
                char byte;
                closedByInstance += ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
            }
            return closedByInstance == 20;
        }));
        for (const int fd : clients)
            ::close(fd);
        // Served again as soon as the instance has seen the crowd go.
        QVERIFY(waitFor([&] { return sendFromElsewhere(path, "ping"); }));
        QSignalSpy received(&running, &SingleInstance::commandReceived);
        QVERIFY(sendFromElsewhere(path, "toggle"));
        QCOMPARE(received.size(), 1);
    }

    // Without XDG_RUNTIME_DIR the socket goes into a folder of the temporary
    // folder, and only one that is this user's alone: anyone can make a folder
    // of that name first and listen there.
    void fallbackSocketFolderMustBeOursAlone_data()
    {
        QTest::addColumn<QString>("prepared");
        QTest::addColumn<bool>("used");
        QTest::newRow("missing: made private") << "missing" << true;
        QTest::newRow("ours and private") << "private" << true;
        QTest::newRow("ours but open to all") << "open" << false;
        QTest::newRow("a link to a private folder") << "link" << false;
        QTest::newRow("a plain file") << "file" << false;
        QTest::newRow("another user's") << "foreign" << false;
    }
    void fallbackSocketFolderMustBeOursAlone()
    {
        QFETCH(QString, prepared);
        QFETCH(bool, used);
        if (prepared == "foreign" && ::geteuid() != 0)
            QSKIP("needs root to give a folder to another user");
        QTemporaryDir tmp;
        const QString folder = tmp.path() + "/brivane-" + QString::number(::geteuid());
        // Qt's own fallback is taken (by a plain file), so brivane's is used.
        const passwd *user = ::getpwuid(::geteuid());
        QVERIFY(user);
        writeFile(tmp.path() + "/runtime-" + QString::fromLocal8Bit(user->pw_name), "taken");
        if (prepared == "private" || prepared == "open" || prepared == "foreign") {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), prepared == "open" ? 0777 : 0700) == 0);
            if (prepared == "foreign")
                QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        } else if (prepared == "link") {
            QVERIFY(QDir().mkpath(tmp.path() + "/mine"));
            QVERIFY(::chmod(QFile::encodeName(tmp.path() + "/mine").constData(), 0700) == 0);
            QVERIFY(QFile::link(tmp.path() + "/mine", folder));
        } else if (prepared == "file") {
            writeFile(folder, "");
        }
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray temporary = qgetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(tmp.path()));
        const QString path = SingleInstance::defaultSocketPath();
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("TMPDIR", temporary);
        if (!used) {
            QVERIFY2(path.isEmpty(), qPrintable(path));
            return;
        }
        QCOMPARE(path, folder + "/brivane.socket");
        struct stat info = {};
        QVERIFY(::lstat(QFile::encodeName(folder).constData(), &info) == 0);
        QVERIFY(S_ISDIR(info.st_mode));
        QCOMPARE(info.st_mode & 0777, mode_t(0700));
    }

    // The real command in such a session: whoever listens in an open folder
    // is never asked.
    void commandNeverAsksAListenerInAnOpenFolder()
    {
        QTemporaryDir tmp;
        const passwd *user = ::getpwuid(::geteuid());
        QVERIFY(user);
        writeFile(tmp.path() + "/runtime-" + QString::fromLocal8Bit(user->pw_name), "taken");
        const QString folder = tmp.path() + "/brivane-" + QString::number(::geteuid());
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
        const QString path = folder + "/brivane.socket";
        SingleInstance impostor(path, SingleInstance::tryLock(path));
        QVERIFY(impostor.listen());
        impostor.setRequestHandler([](const QByteArray &) { return QByteArray("Forged · in 1m\n"); });

        QProcess command;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("XDG_RUNTIME_DIR");
        environment.insert("TMPDIR", tmp.path());
        command.setProcessEnvironment(environment);
        command.start(QStringLiteral(BRIVANE_BINARY), {"status"});
        QVERIFY(waitFor([&] { return command.state() == QProcess::NotRunning; }, 20000));
        const QByteArray printed = command.readAllStandardOutput();
        QCOMPARE(command.exitCode(), 0);
        QVERIFY2(!printed.contains("Forged"), printed.constData());
        QVERIFY(!printed.trimmed().isEmpty());
    }

    // A follower (`status --follow` through the instance) is sent its
    // answer whenever it changes, and only then; one the handler declines
    // is told so; a follower that goes away is forgotten.
    void followersGetEachChangedAnswer()
    {
        const QString path = socketPath("follow.socket");
        QCOMPARE(InstanceClient::follow(path, "status", {"--follow"}, [](const QByteArray &) { return true; }),
            InstanceClient::FollowEnd::NotFollowed); // nobody listens

        SingleInstance running(path, SingleInstance::tryLock(path));
        QVERIFY(running.listen());
        QByteArray current; // nothing to say yet
        QStringList questions;
        running.setFollowHandler([&](const QByteArray &question) -> std::optional<QByteArray> {
            questions.append(QString::fromUtf8(question));
            if (question.contains("--decline"))
                return std::nullopt;
            return current;
        });
        auto followElsewhere = [path](const QStringList &arguments, QList<QByteArray> *answers) {
            return QtConcurrent::run([path, arguments, answers] {
                return InstanceClient::follow(path, "status", arguments, [answers](const QByteArray &answer) {
                    answers->append(answer);
                    return answer != "last\n";
                });
            });
        };
        QList<QByteArray> declinedAnswers;
        QFuture<InstanceClient::FollowEnd> declined = followElsewhere({"--follow", "--decline"}, &declinedAnswers);
        QVERIFY(waitFor([&] { return declined.isFinished(); }));
        QCOMPARE(declined.result(), InstanceClient::FollowEnd::NotFollowed);
        QVERIFY(declinedAnswers.isEmpty());

        QList<QByteArray> answers;
        QFuture<InstanceClient::FollowEnd> following = followElsewhere({"--follow"}, &answers);
        QVERIFY(waitFor([&] { return running.followerCount() == 1; }));
        QVERIFY(questions.last().contains("--follow"));
        running.updateFollowers(); // still nothing: nothing sent
        current = "first\n";
        running.updateFollowers();
        running.updateFollowers(); // the same again: not sent twice
        current = "second\n";
        running.updateFollowers();
        current = "last\n";
        running.updateFollowers();
        QVERIFY(waitFor([&] { return following.isFinished(); }));
        QCOMPARE(following.result(), InstanceClient::FollowEnd::StoppedByCaller);
        QCOMPARE(answers, (QList<QByteArray> {"first\n", "second\n", "last\n"}));
        // The follower hung up: forgotten at the next round.
        QVERIFY(waitFor([&] {
            running.updateFollowers();
            return running.followerCount() == 0;
        }));
    }

    // The instance quitting ends the subscription (the command then goes on
    // by itself); a follower that sends anything more is dropped.
    void followingEndsWithTheInstance()
    {
        const QString path = socketPath("gone.socket");
        auto running = std::make_unique<SingleInstance>(path, SingleInstance::tryLock(path));
        QVERIFY(running->listen());
        running->setFollowHandler([](const QByteArray &) { return QByteArray("title\n"); });
        QList<QByteArray> answers;
        QFuture<InstanceClient::FollowEnd> following = QtConcurrent::run([path, &answers] {
            return InstanceClient::follow(path, "status", {"--follow"}, [&answers](const QByteArray &answer) {
                answers.append(answer);
                return true;
            });
        });
        QVERIFY(waitFor([&] { return running->followerCount() == 1; }));
        running.reset();
        QVERIFY(waitFor([&] { return following.isFinished(); }));
        QCOMPARE(following.result(), InstanceClient::FollowEnd::InstanceGone);
        QCOMPARE(answers, QList<QByteArray> {"title\n"});

        SingleInstance again(path, SingleInstance::tryLock(path));
        QVERIFY(again.listen());
        again.setFollowHandler([](const QByteArray &) { return QByteArray("title\n"); });
        QLocalSocket chatty;
        chatty.connectToServer(path);
        QVERIFY(chatty.waitForConnected(2000));
        chatty.write(InstanceClient::FollowPrefix.toByteArray() + InstanceClient::questionFor("status", {"--follow"})
            + "\nping\n");
        QVERIFY(waitFor([&] { return chatty.state() == QLocalSocket::UnconnectedState; }));
        QCOMPARE(again.followerCount(), 0);
    }

    void socketLivesInTheRuntimeFolder()
    {
        QVERIFY(SingleInstance::defaultSocketPath().startsWith(QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"))));
    }
};

BRIVANE_TEST_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
