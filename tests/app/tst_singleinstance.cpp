// The socket through which `ondrel toggle` reaches the running program,
// under clients that misbehave.
#include "SingleInstance.h"
#include "SocketFlood.h"
#include "TestSupport.h"

#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <linux/sockios.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <future>
#include <optional>
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
    // Bytes sent that the server has not read yet, and answers here not read yet.
    int unsent() const { return ioctlValue(SIOCOUTQ); }
    int unread() const { return ioctlValue(SIOCINQ); }
    // The server closed the connection.
    bool closed()
    {
        received();
        return m_closed;
    }

private:
    int ioctlValue(unsigned long request) const
    {
        int value = -1;
        return ::ioctl(m_fd, request, &value) == 0 ? value : -1;
    }

    int m_fd = -1;
    QByteArray m_received;
    bool m_closed = false;
};

sockaddr_un addressOf(const QByteArray& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return address;
}

// Another local user (ondrel-wl, made by scripts/install-deps) in a process
// forked from this one. It leaves in shared folders what each "kind:path"
// says: d a folder open to all, l a link ("l:path>target"), k a lock it
// holds, s a socket that answers "ok" to anything (as a running Ondrel
// would). Upper-case kinds are done before it gives up root: D a folder of
// ours open to all, S a socket of its own at a place only we may write to.
class OtherUser final
{
public:
    ~OtherUser()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        for (const QByteArray& path : std::as_const(m_sockets))
            ::unlink(path.constData());
        ::close(m_report);
    }
    static const passwd* account() { return ::getpwnam("ondrel-wl"); }
    bool start(const QStringList& plants)
    {
        const passwd* user = account();
        int ready[2];
        int report[2];
        if (!user || ::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(report, O_CLOEXEC) != 0)
            return false;
        std::vector<std::pair<char, QByteArray>> steps;
        for (const QString& plant : plants)
            steps.emplace_back(plant.front().toLatin1(), QFile::encodeName(plant.mid(2)));
        std::vector<pollfd> sockets;
        sockets.reserve(256);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            plant(steps, *user, sockets, ready[1]);
            serve(sockets, report[1]);
        }
        for (const auto& [kind, path] : steps)
            if (kind == 's' || kind == 'S')
                m_sockets << path;
        ::close(ready[1]);
        ::close(report[1]);
        m_report = report[0];
        ::fcntl(m_report, F_SETFL, O_NONBLOCK);
        char said = 0;
        const bool planted = ::read(ready[0], &said, 1) == 1 && said == 'y';
        ::close(ready[0]);
        return planted;
    }
    // What its sockets were sent so far.
    QByteArray received()
    {
        QByteArray bytes;
        char buffer[256];
        for (ssize_t n; (n = ::read(m_report, buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, n);
        return bytes;
    }

private:
    // In the child: system calls only, and then _exit.
    static void plant(const std::vector<std::pair<char, QByteArray>>& steps, const passwd& user,
                      std::vector<pollfd>& sockets, int ready)
    {
        ::umask(0);
        const auto fail = [] { ::_exit(1); };
        for (const auto& [kind, path] : steps) {
            if (kind == 'D' && ::mkdir(path.constData(), 0777) != 0)
                fail();
            if (kind == 'S' || kind == 's') {
                sockets.push_back({::socket(AF_UNIX, SOCK_STREAM, 0), POLLIN, 0});
                const sockaddr_un address = addressOf(path);
                if (kind == 'S' && ::bind(sockets.back().fd, reinterpret_cast<const sockaddr*>(&address),
                                          sizeof address) != 0)
                    fail();
            }
        }
        if (::setgroups(0, nullptr) != 0 || ::setgid(user.pw_gid) != 0 || ::setuid(user.pw_uid) != 0)
            fail();
        auto socket = sockets.begin();
        for (const auto& [kind, path] : steps) {
            const qsizetype arrow = path.indexOf('>');
            if (kind == 'd' && ::mkdir(path.constData(), 0777) != 0)
                fail();
            if (kind == 'l' && ::symlink(path.mid(arrow + 1).constData(), path.first(arrow).constData()) != 0)
                fail();
            if (kind == 'k') {
                const int fd = ::open(path.constData(), O_CREAT | O_EXCL | O_WRONLY, 0644);
                if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
                    fail();
            }
            if (kind == 's' || kind == 'S') {
                const sockaddr_un address = addressOf(path);
                // Its credentials are taken when it starts to listen.
                if ((kind == 's' &&
                     ::bind(socket->fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) ||
                    ::listen(socket->fd, 16) != 0)
                    fail();
                ++socket;
            }
        }
        if (::write(ready, "y", 1) != 1)
            fail();
    }
    [[noreturn]] static void serve(std::vector<pollfd>& sockets, int report)
    {
        const size_t listeners = sockets.size();
        while (::poll(sockets.data(), sockets.size(), -1) > 0) {
            for (size_t i = 0; i < sockets.size(); ++i) {
                if (sockets[i].revents == 0 || sockets[i].fd < 0)
                    continue;
                if (i < listeners) {
                    sockets.push_back({::accept(sockets[i].fd, nullptr, nullptr), POLLIN, 0});
                    continue;
                }
                char buffer[256];
                const ssize_t n = ::read(sockets[i].fd, buffer, sizeof buffer);
                if (n <= 0 || ::write(report, buffer, size_t(n)) != n ||
                    ::send(sockets[i].fd, "ok\n", 3, MSG_NOSIGNAL) != 3) {
                    ::close(sockets[i].fd);
                    sockets[i].fd = -1;
                }
            }
        }
        ::_exit(0);
    }

    pid_t m_pid = -1;
    int m_report = -1;
    QList<QByteArray> m_sockets;
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
    void anotherUserCannotStopOrSpoofUs_data();
    void anotherUserCannotStopOrSpoofUs();

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
    m_instance->setCallHandler([&handled](const SingleInstance::Call& call) {
        ++handled;
        return SingleInstance::Answer{call.args.value(0).toInt(), call.input, call.args.value(1).toUtf8()};
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
    QTest::newRow("no socket") << false << false << notRunning;
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

void TestSingleInstance::anotherUserCannotStopOrSpoofUs_data()
{
    QTest::addColumn<QStringList>("plants");
    QTest::addColumn<bool>("runtimeFolder");
    QTest::addColumn<QString>("reason");
    // Where programs without a runtime folder commonly turn in the
    // temporary folder.
    const QStringList fallbacks{QStringLiteral("d:{tmp}/runtime-{user}"), QStringLiteral("s:{tmp}/{name}"),
                                QStringLiteral("k:{tmp}/{name}.lock")};
    const QString theirs = QStringLiteral("it belongs to another user (uid {their})");
    QTest::newRow("their folder, a lock in it")
        << fallbacks + QStringList{QStringLiteral("d:{tmp}/ondrel-{uid}"),
                                   QStringLiteral("k:{tmp}/ondrel-{uid}/{name}.lock")}
        << false << theirs;
    QTest::newRow("their folder, a socket in it")
        << fallbacks + QStringList{QStringLiteral("d:{tmp}/ondrel-{uid}"),
                                   QStringLiteral("s:{tmp}/ondrel-{uid}/{name}")}
        << false << theirs;
    QTest::newRow("a link to their folder")
        << fallbacks + QStringList{QStringLiteral("d:{tmp}/theirs"), QStringLiteral("s:{tmp}/theirs/{name}"),
                                   QStringLiteral("l:{tmp}/ondrel-{uid}>{tmp}/theirs")}
        << false << QStringLiteral("it is a symbolic link");
    QTest::newRow("our folder, open to all")
        << fallbacks + QStringList{QStringLiteral("D:{tmp}/ondrel-{uid}"),
                                   QStringLiteral("s:{tmp}/ondrel-{uid}/{name}")}
        << false << QStringLiteral("other users may use it (mode 0777)");
    QTest::newRow("their socket in our runtime folder")
        << QStringList{QStringLiteral("S:{run}/{name}")} << true
        << QStringLiteral("{run}/{name} is served by another user (uid {their}); nothing was sent to it");
}

void TestSingleInstance::anotherUserCannotStopOrSpoofUs()
{
    QFETCH(QStringList, plants);
    QFETCH(bool, runtimeFolder);
    QFETCH(QString, reason);
    if (!test::runningAsRoot() || !OtherUser::account())
        QSKIP("needs root and the user ondrel-wl (scripts/install-deps)");
    m_instance.reset();
    // A temporary folder as the real one is: everyone may make files there.
    QTemporaryDir shared;
    QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 01777) == 0);
    const auto fill = [&](QString text) {
        return text.replace(QStringLiteral("{tmp}"), shared.path())
            .replace(QStringLiteral("{run}"), m_runtime.path())
            .replace(QStringLiteral("{name}"), QFileInfo(SingleInstance::socketPath()).fileName())
            .replace(QStringLiteral("{uid}"), QString::number(::geteuid()))
            .replace(QStringLiteral("{user}"), QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name))
            .replace(QStringLiteral("{their}"), QString::number(OtherUser::account()->pw_uid));
    };
    for (QString& plant : plants)
        plant = fill(plant);
    OtherUser other;
    QVERIFY(other.start(plants));
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const std::optional<QByteArray> temporary =
        qEnvironmentVariableIsSet("TMPDIR") ? std::optional(qgetenv("TMPDIR")) : std::nullopt;
    if (!runtimeFolder)
        qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(shared.path()));
    // Neither a start nor `ondrel toggle` goes ahead, and each says why.
    const auto result = SingleInstance::send(QStringLiteral("toggle"));
    SingleInstance second;
    QString error;
    const bool listened = !runtimeFolder && second.listen(&error);
    qputenv("XDG_RUNTIME_DIR", runtime);
    if (temporary)
        qputenv("TMPDIR", *temporary);
    else
        qunsetenv("TMPDIR");
    QCOMPARE(other.received(), QByteArray());
    QVERIFY2(result.message().contains(fill(reason)), qPrintable(result.message()));
    QVERIFY(!listened);
    QVERIFY2(runtimeFolder || error.contains(fill(reason)), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
