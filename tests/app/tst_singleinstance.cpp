// The socket through which `ondrel toggle` reaches the running program,
// under clients that misbehave.
#include "SingleInstance.h"
#include "TestSupport.h"

#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <vector>

using namespace ondrel;

namespace {

// A client on a raw descriptor, so that the test controls every byte and
// how long it stays.
class RawClient
{
public:
    // Non-blocking: the server runs on this same thread.
    RawClient() { m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0); }
    ~RawClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connect()
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(SingleInstance::socketPath());
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        // A full backlog says "try again" until the server accepted some.
        return QTest::qWaitFor(
            [&] { return ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0; },
            5000);
    }
    bool send(const QByteArray& bytes)
    {
        // The server may have hung up already: that is an error here, not a signal.
        return ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    }
    // What the server said so far, reading without blocking while the event loop runs.
    QByteArray received()
    {
        char buffer[512];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                m_received.append(buffer, n);
                continue;
            }
            m_closed = m_closed || n == 0;
            return m_received;
        }
    }
    // The server closed the connection.
    bool closed()
    {
        received();
        return m_closed;
    }

private:
    int m_fd = -1;
    QByteArray m_received;
    bool m_closed = false;
};

} // namespace

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
    void manyOrIdleClientsAreLetGo();
    void keepsListeningAfterRunningOutOfDescriptors();

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

void TestSingleInstance::manyOrIdleClientsAreLetGo()
{
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

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
