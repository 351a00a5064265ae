// The socket through which `ondrel toggle` reaches the running program,
// against another user on the same machine.
#include "RawClient.h"
#include "SingleInstance.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <optional>
#include <vector>

using namespace ondrel;
using test::addressOf;

namespace {

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

class TestSingleInstanceUsers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }
    void init()
    {
        test::failOnUnexpectedWarnings();
        m_instance = std::make_unique<SingleInstance>();
        QVERIFY(m_instance->listen());
    }
    void cleanup() { m_instance.reset(); }
    void anotherUserCannotStopOrSpoofUs_data();
    void anotherUserCannotStopOrSpoofUs();

private:
    QTemporaryDir m_runtime;
    std::unique_ptr<SingleInstance> m_instance;
};

void TestSingleInstanceUsers::anotherUserCannotStopOrSpoofUs_data()
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

void TestSingleInstanceUsers::anotherUserCannotStopOrSpoofUs()
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

QTEST_GUILESS_MAIN(TestSingleInstanceUsers)
#include "tst_singleinstanceusers.moc"
