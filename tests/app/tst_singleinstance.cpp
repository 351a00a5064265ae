// The socket through which `ondrel toggle` reaches the running program,
// under clients that misbehave.
#include "RawClient.h"
#include "SingleInstance.h"
#include "SocketFlood.h"
#include "TestSupport.h"

#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <future>
#include <vector>

using namespace ondrel;
using test::addressOf;
using test::RawClient;

class TestSingleInstance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void answersKnownCommandsOnly_data();
    void answersKnownCommandsOnly();
    void longRequestIsRefused_data();
    void longRequestIsRefused();
    void answersWaitForASlowReader();
    void callsCarryAnEntryBothWays();
    void badCallsAreAnsweredAndLetGo_data();
    void badCallsAreAnsweredAndLetGo();
    void manyOrIdleClientsAreLetGo();
    void keepsListeningAfterRunningOutOfDescriptors();
    void togglesGetThroughFloods_data();
    void togglesGetThroughFloods();
    void saysWhyNoneAnswered_data();
    void saysWhyNoneAnswered();

private:
    QTemporaryDir m_runtime;
    std::unique_ptr<SingleInstance> m_instance;
};

void TestSingleInstance::initTestCase()
{
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    QVERIFY(SingleInstance::socketPath().startsWith(m_runtime.path()));
    // One per display: another session of the same user shares the folder.
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    QStringList paths;
    for (const char* session : {":1", "remote:10.0", "wayland-1"}) {
        qputenv(session[0] == 'w' ? "WAYLAND_DISPLAY" : "DISPLAY", session);
        paths << SingleInstance::socketPath();
    }
    QCOMPARE(QSet<QString>(paths.cbegin(), paths.cend()).size(), 3);
    qputenv("DISPLAY", display);
    if (!wayland.isEmpty())
        qputenv("WAYLAND_DISPLAY", wayland);
    else
        qunsetenv("WAYLAND_DISPLAY");
}

void TestSingleInstance::init()
{
    test::failOnUnexpectedWarnings();
    m_instance = std::make_unique<SingleInstance>();
    QVERIFY(m_instance->listen());
}

void TestSingleInstance::cleanup()
{
    m_instance.reset();
    QVERIFY(!QFile::exists(SingleInstance::socketPath()));
}

void TestSingleInstance::answersKnownCommandsOnly_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("toggles");
    QTest::newRow("toggle") << QByteArray("toggle\n") << QByteArray("ok\n") << 1;
    QTest::newRow("two in one write") << QByteArray("toggle\ntoggle\n") << QByteArray("ok\nok\n") << 2;
    QTest::newRow("unknown") << QByteArray("quit\n") << QByteArray("error: unknown command\n") << 0;
    QTest::newRow("empty line") << QByteArray("\n") << QByteArray("error: unknown command\n") << 0;
    QTest::newRow("known after unknown")
        << QByteArray("rm -rf\ntoggle\n") << QByteArray("error: unknown command\nok\n") << 1;
}

void TestSingleInstance::answersKnownCommandsOnly()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(int, toggles);
    SingleInstance second; // refused: the first one answers
    QVERIFY(!second.listen());
    QSignalSpy commands(m_instance.get(), &SingleInstance::commandReceived);
    RawClient client;
    QVERIFY(client.connect());
    QVERIFY(client.send(request));
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), answer, 5000);
    QCOMPARE(commands.size(), toggles);
}

void TestSingleInstance::longRequestIsRefused_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("no line end") << QByteArray(SingleInstance::kMaxLineLength + 1, 'a');
    QTest::newRow("long line") << QByteArray(SingleInstance::kMaxLineLength + 10, 'a') + '\n';
    QTest::newRow("megabyte") << QByteArray(1 << 20, 'a');
}

void TestSingleInstance::longRequestIsRefused()
{
    QFETCH(QByteArray, request);
    QSignalSpy commands(m_instance.get(), &SingleInstance::commandReceived);
    RawClient client;
    QVERIFY(client.connect());
    // A megabyte does not fit the socket buffer: the server must read (and
    // refuse) while this writes, so write from the event loop's pauses.
    qsizetype sent = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            while (sent < request.size() && !client.closed()) {
                const qsizetype chunk = std::min<qsizetype>(4096, request.size() - sent);
                if (!client.send(request.mid(sent, chunk)))
                    break;
                sent += chunk;
            }
            return client.closed();
        }(),
        5000);
    QVERIFY(client.received().startsWith("error: request too long\n"));
    QCOMPARE(commands.size(), 0);
    QCOMPARE(m_instance->clientCount(), 0);
}

void TestSingleInstance::answersWaitForASlowReader()
{
    // A client asks more than its socket takes before it reads: the rest of
    // the answers wait for it, and the program does not.
    RawClient client;
    QVERIFY(client.connect());
    const QByteArray answer("error: unknown command\n");
    constexpr int kChunk = 64;
    int asked = 0;
    // Asks until the answers stop coming in whole: the program's side is full.
    for (int unread = 0, before = 0; asked == 0 || unread - before == kChunk * answer.size();) {
        QVERIFY(client.send(QByteArray("x\n").repeated(kChunk)));
        asked += kChunk;
        QTRY_COMPARE_WITH_TIMEOUT(client.unsent(), 0, 5000);
        before = std::exchange(unread, client.unread());
    }
    QTRY_COMPARE_WITH_TIMEOUT(client.received().size(), asked * answer.size(), 5000);
    QCOMPARE(client.received(), answer.repeated(asked));
    QVERIFY(!client.closed());
}

void TestSingleInstance::callsCarryAnEntryBothWays()
{
    // Ten megabytes each way: the instance reads and answers from its event
    // loop, in slices, while the blocking client sends and reads.
    const QByteArray entry = QByteArray("line\r\n\0😀", 11).repeated(1 << 20).left(10 << 20);
    int handled = 0;
    m_instance->setCallHandler([&handled](const SingleInstance::Call& call, SingleInstance::Respond respond) {
        ++handled;
        SingleInstance::Answer answer{call.args.value(0).toInt(), call.input, call.args.value(1).toUtf8()};
        // An answer may come later, from the event loop (a file read first).
        if (answer.code == 0)
            respond(std::move(answer));
        else
            QTimer::singleShot(50, [respond, answer] { respond(answer); });
    });
    const auto call = [](QStringList args, QByteArray input) {
        return std::async(std::launch::async, [args, input] { return SingleInstance::call({args, input}); });
    };
    auto big = call({QStringLiteral("0"), QString()}, entry);
    QTRY_VERIFY_WITH_TIMEOUT(big.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 20000);
    const SingleInstance::CallResult bigResult = big.get();
    QVERIFY(bigResult.result);
    QCOMPARE(bigResult.answer.code, 0);
    QVERIFY(bigResult.answer.out == entry);
    auto refused = call({QStringLiteral("1"), QStringLiteral("ondrel: no entry '9'\n")}, {});
    QTRY_VERIFY_WITH_TIMEOUT(refused.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 5000);
    const SingleInstance::CallResult refusedResult = refused.get();
    QCOMPARE(refusedResult.answer.code, 1);
    QCOMPARE(refusedResult.answer.err, QByteArray("ondrel: no entry '9'\n"));
    QCOMPARE(handled, 2);
    QTRY_COMPARE_WITH_TIMEOUT(m_instance->clientCount(), 0, 5000);
}

void TestSingleInstance::badCallsAreAnsweredAndLetGo_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("too large") << QByteArray("call 999999999999\n")
                               << QByteArray("answer 2 0 26\nondrel: request too large\n");
    QTest::newRow("negative") << QByteArray("call -5\n")
                              << QByteArray("answer 2 0 26\nondrel: request too large\n");
    QTest::newRow("more arguments than bytes") << QByteArray("call 8\n\xff\xff\0\0abcd", 15)
                                               << QByteArray("answer 2 0 26\nondrel: malformed request\n");
    QTest::newRow("no handler yet") << QByteArray("call 4\n\0\0\0\0", 11)
                                    << QByteArray(
                                           "answer 3 0 45\nondrel: Ondrel is not ready for commands yet\n");
}

void TestSingleInstance::badCallsAreAnsweredAndLetGo()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    RawClient client;
    QVERIFY(client.connect());
    QVERIFY(client.send(request));
    QTRY_VERIFY_WITH_TIMEOUT(client.closed(), 5000);
    QCOMPARE(client.received(), answer);
    QCOMPARE(m_instance->clientCount(), 0);
}

void TestSingleInstance::manyOrIdleClientsAreLetGo()
{
    // A client yet to ask outlasts any number of later ones already answered.
    RawClient honest;
    QVERIFY(honest.connect());
    std::vector<std::unique_ptr<RawClient>> answered;
    for (int i = 0; i < 2 * SingleInstance::kMaxClients; ++i) {
        answered.push_back(std::make_unique<RawClient>());
        QVERIFY(answered.back()->connect());
        QVERIFY(answered.back()->send("junk\n"));
        QTRY_COMPARE_WITH_TIMEOUT(answered.back()->received(), QByteArray("error: unknown command\n"), 5000);
    }
    QVERIFY(honest.send("toggle\n"));
    QTRY_COMPARE_WITH_TIMEOUT(honest.received(), QByteArray("ok\n"), 5000);
    answered.clear();
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 40; ++i) {
        idle.push_back(std::make_unique<RawClient>());
        QVERIFY(idle.back()->connect());
    }
    QTRY_VERIFY_WITH_TIMEOUT(idle.front()->closed(), 5000);
    QCOMPARE(m_instance->clientCount(), SingleInstance::kMaxClients);
    // A real request still gets through.
    QSignalSpy commands(m_instance.get(), &SingleInstance::commandReceived);
    RawClient client;
    QVERIFY(client.connect());
    QVERIFY(client.send("toggle\n"));
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), QByteArray("ok\n"), 5000);
    QCOMPARE(commands.size(), 1);
    QVERIFY(m_instance->clientCount() <= SingleInstance::kMaxClients);
    // Idle clients are let go in time.
    QTRY_COMPARE_WITH_TIMEOUT(m_instance->clientCount(), 0, SingleInstance::kIdleTimeoutMs + 5000);
    QVERIFY(idle.back()->closed());
}

void TestSingleInstance::keepsListeningAfterRunningOutOfDescriptors()
{
    QSignalSpy commands(m_instance.get(), &SingleInstance::commandReceived);
    RawClient client; // its descriptor exists before the table is full
    // Fill the descriptor table below a lowered limit.
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = 256;
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<int> fillers;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        fillers.push_back(fd);
    QCOMPARE(errno, EMFILE);

    // The server cannot accept now; the connection waits in the backlog.
    QVERIFY(client.connect());
    QVERIFY(client.send("toggle\n"));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(commands.size(), 0);

    for (int fd : fillers)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), QByteArray("ok\n"), 5000);
    QCOMPARE(commands.size(), 1);
    // And later clients as usual.
    RawClient later;
    QVERIFY(later.connect());
    QVERIFY(later.send("toggle\n"));
    QTRY_COMPARE_WITH_TIMEOUT(later.received(), QByteArray("ok\n"), 5000);
    QCOMPARE(commands.size(), 2);
}

void TestSingleInstance::togglesGetThroughFloods_data()
{
    QTest::addColumn<bool>("garbage");
    QTest::newRow("garbage") << true;
    QTest::newRow("never reading") << false;
}

void TestSingleInstance::togglesGetThroughFloods()
{
    QFETCH(bool, garbage);
    test::SocketFlood flood(SingleInstance::socketPath(), garbage ? test::SocketFlood::Kind::Garbage
                                                                  : test::SocketFlood::Kind::NeverReading);
    QTRY_VERIFY_WITH_TIMEOUT(flood.connections() > 40, 10000);
    QSignalSpy commands(m_instance.get(), &SingleInstance::commandReceived);
    // `ondrel toggle` again and again, from another thread: this one serves.
    constexpr int kToggles = 30;
    auto toggles = std::async(std::launch::async, [] {
        QStringList failures;
        for (int i = 0; i < kToggles; ++i)
            if (const auto result = SingleInstance::send(QStringLiteral("toggle")); !result)
                failures << result.message();
        return failures;
    });
    QTRY_VERIFY_WITH_TIMEOUT(toggles.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 120000);
    const QStringList failures = toggles.get();
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    QCOMPARE(commands.size(), kToggles);
}

void TestSingleInstance::saysWhyNoneAnswered_data()
{
    QTest::addColumn<bool>("bound");
    QTest::addColumn<bool>("listening");
    QTest::addColumn<QString>("message");
    const QString notRunning = QStringLiteral("ondrel: Ondrel is not running (start it with `ondrel`)");
    QTest::newRow("left by a crash") << true << false << notRunning;
    QTest::newRow("never answers") << true << true
                                   << QStringLiteral("ondrel: the running Ondrel did not answer");
}

void TestSingleInstance::saysWhyNoneAnswered()
{
    QFETCH(bool, bound);
    QFETCH(bool, listening);
    QFETCH(QString, message);
    m_instance.reset();
    const QByteArray path = QFile::encodeName(SingleInstance::socketPath());
    const sockaddr_un address = addressOf(path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QVERIFY(!bound || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
    QVERIFY(!listening || ::listen(fd, 16) == 0);
    const auto result = SingleInstance::send(QStringLiteral("toggle"), 500);
    ::close(fd);
    ::unlink(path.constData());
    QCOMPARE(result.message(), message);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
