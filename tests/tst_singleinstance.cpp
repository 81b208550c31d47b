// One brivane per session: later starts hand over their command, and a
// socket left by a crashed run does not block the next start.
#include "TestSupport.h"

#include "app/SingleInstance.h"

#include <QLocalSocket>
#include <QProcess>
#include <QtConcurrent>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace TestSupport;

class SingleInstanceTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString socketPath(const char *name) const { return m_dir.path() + "/" + name; }

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
