#include "SingleInstance.h"

#include "PrivateFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <algorithm>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace ondrel {

namespace {

// The socket's address; false when the path does not fit.
bool socketAddress(const QString& socketPath, sockaddr_un& address)
{
    const QByteArray path = QFile::encodeName(socketPath);
    address = sockaddr_un{};
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
}

// Waits until `fd` is ready for `events` or the deadline passes.
bool waitFor(int fd, short events, const QDeadlineTimer& deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, int(std::min<qint64>(deadline.remainingTime(), 60000)));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

// Sends all of `bytes`, without SIGPIPE when the peer is gone.
bool sendAll(int fd, QByteArrayView bytes, const QDeadlineTimer& deadline)
{
    while (!bytes.isEmpty()) {
        const ssize_t n = ::send(fd, bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL);
        if (n > 0) {
            bytes = bytes.sliced(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd, POLLOUT, deadline))
            continue;
        return false;
    }
    return true;
}

// Connects within the deadline; -1 with errno set when it cannot. The
// connect blocks: a non-blocking one is turned away at once while the
// backlog is full, as it stays under a flood of other clients, whereas a
// blocking one waits its turn for room.
int connectTo(const sockaddr_un& address, const QDeadlineTimer& deadline)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    for (;;) {
        // At least a microsecond: zero would mean no limit at all.
        const qint64 left = std::max<qint64>(deadline.remainingTimeNSecs() / 1000, 1);
        const timeval limit{time_t(left / 1000000), suseconds_t(left % 1000000)};
        if (::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) == 0 &&
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) == 0)
            return fd;
        if (errno != EINTR || deadline.hasExpired())
            break;
    }
    const int code = errno;
    ::close(fd);
    errno = code;
    return -1;
}

} // namespace

// One connected program: its socket, what it sent that is not a whole line
// yet, the answers it has not taken yet, and the time it may stay silent.
class SingleInstance::Client final : public QObject
{
public:
    Client(int fd, QObject* parent)
        : QObject(parent), fd(fd), reader(fd, QSocketNotifier::Read, this),
          writer(fd, QSocketNotifier::Write, this)
    {
        writer.setEnabled(false);
        idle.setParent(this);
        idle.setSingleShot(true);
        idle.setInterval(kIdleTimeoutMs);
        idle.start();
    }
    ~Client() override { close(); }

    void close()
    {
        reader.setEnabled(false);
        writer.setEnabled(false);
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    int fd;
    QSocketNotifier reader;
    QSocketNotifier writer;
    QTimer idle;
    QByteArray pending;
    QByteArray queued;
    bool answered = false;
    quint64 lastRequest = 0; // when it connected or last asked something, in the instance's count
};

SingleInstance::SingleInstance(QStringList commands, QObject* parent)
    : QObject(parent), m_commands(std::move(commands))
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(kAcceptRetryMs);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        m_notifier->setEnabled(true);
        acceptPending();
    });
}

SingleInstance::~SingleInstance()
{
    for (Client* client : m_clients)
        delete client;
    m_notifier.reset();
    if (m_listener >= 0) {
        ::close(m_listener);
        QFile::remove(m_socketPath);
    }
}

QString SingleInstance::Result::message() const
{
    if (reply == Reply::Refused)
        return QStringLiteral("ondrel: the running Ondrel answered \"%1\"").arg(detail);
    if (reply == Reply::NotRunning)
        return QStringLiteral("ondrel: Ondrel is not running (start it with `ondrel`)");
    if (reply == Reply::NoAnswer)
        return QStringLiteral("ondrel: the running Ondrel did not answer");
    return reply == Reply::Unsafe ? QStringLiteral("ondrel: ") + detail : QString();
}

QString SingleInstance::socketPath(QString* error)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString reason;
    // Anyone may make files in the temporary folder: without the session's
    // folder, ours is made there and checked, so that no other user plants a
    // lock (to keep us from starting) or a socket (to take our commands).
    const bool usable =
        folder.isEmpty()
            ? platform::claimPrivateFolder(
                  folder = QDir::tempPath() + QStringLiteral("/ondrel-%1").arg(::geteuid()), &reason)
            : platform::isPrivateFolder(folder, &reason);
    if (!usable) {
        if (error)
            *error =
                QStringLiteral("cannot keep the socket of `ondrel toggle` in %1: %2; set XDG_RUNTIME_DIR "
                               "to a folder of your own")
                    .arg(folder, reason);
        return {};
    }
    // One per display: a second session of the same user (another seat,
    // ssh -X) shares the runtime folder, and its `ondrel toggle` must not
    // open a popover on the first one's screen.
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = QStringLiteral("none");
    for (QChar& c : display)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'-' && c != u'.')
            c = u'_';
    return folder + QStringLiteral("/ondrel-%1-%2.socket").arg(::geteuid()).arg(display.right(40));
}

SingleInstance::Result SingleInstance::send(const QString& command, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QString error;
    const QString path = socketPath(&error);
    if (path.isEmpty())
        return {Reply::Unsafe, error};
    sockaddr_un address;
    if (!socketAddress(path, address))
        return {Reply::NotRunning, {}};
    const int fd = connectTo(address, deadline);
    if (fd < 0)
        return {errno == ENOENT || errno == ECONNREFUSED ? Reply::NotRunning : Reply::NoAnswer, {}};
    const auto done = [fd](Reply reply, QString detail = {}) {
        ::close(fd);
        return Result{reply, std::move(detail)};
    };
    // Not a word to a listener of another user: it could take the command
    // and answer "ok" in our name.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return done(Reply::NoAnswer);
    if (peer.uid != ::geteuid())
        return done(Reply::Unsafe,
                    QStringLiteral("%1 is served by another user (uid %2); nothing was sent to it")
                        .arg(path)
                        .arg(peer.uid));
    if (!sendAll(fd, command.toUtf8() + '\n', deadline))
        return done(Reply::NoAnswer);
    QByteArray answer;
    while (!answer.contains('\n')) {
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            answer.append(buffer, n);
            if (answer.size() > kMaxLineLength)
                return done(Reply::NoAnswer);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd, POLLIN, deadline))
            continue;
        return done(Reply::NoAnswer); // closed before a whole answer, or out of time
    }
    const QString text = QString::fromUtf8(answer.first(answer.indexOf('\n'))).trimmed();
    return text == u"ok" ? done(Reply::Ok) : done(Reply::Refused, text);
}

bool SingleInstance::listen(QString* error)
{
    m_socketPath = socketPath(error);
    if (m_socketPath.isEmpty())
        return false;
    m_lock = std::make_unique<QLockFile>(m_socketPath + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0); // a crashed owner's lock is taken over (its process is gone)
    if (!m_lock->tryLock(100))
        return false;
    // The lock is ours: any socket file left is stale.
    sockaddr_un address;
    if (!socketAddress(m_socketPath, address))
        return false;
    ::unlink(address.sun_path);
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listener < 0)
        return false;
    // Only this user may connect, whatever the folder allows.
    const mode_t previous = ::umask(0077);
    const bool bound = ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(previous);
    if (!bound || ::listen(m_listener, 16) != 0) {
        ::close(m_listener);
        m_listener = -1;
        return false;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_listener, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptPending);
    return true;
}

void SingleInstance::acceptPending()
{
    for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: the connection waits in the backlog; try
                // again shortly rather than spin on a socket that stays readable.
                m_notifier->setEnabled(false);
                m_retry.start();
            }
            return;
        }
        // Only this user's programs may command us.
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
            ::close(fd);
            continue;
        }
        serve(fd);
    }
}

void SingleInstance::serve(int fd)
{
    if (int(m_clients.size()) >= kMaxClients) {
        // Room for the newcomer: first a client already answered (an honest
        // one hangs up once it has its answer), else the one that went longest
        // without asking anything. A client that just connected has its
        // request on its way; one that floods us has had its answers.
        const auto victim = std::min_element(m_clients.begin(), m_clients.end(), [](Client* a, Client* b) {
            return std::pair(!a->answered, a->lastRequest) < std::pair(!b->answered, b->lastRequest);
        });
        drop(*victim);
    }
    auto* client = new Client(fd, this);
    client->lastRequest = ++m_requests;
    m_clients.push_back(client);
    connect(&client->idle, &QTimer::timeout, this, [this, client] { drop(client); });
    connect(&client->reader, &QSocketNotifier::activated, this, [this, client] {
        client->idle.start();
        readRequests(client);
    });
    connect(&client->writer, &QSocketNotifier::activated, this, [this, client] { flush(client); });
    readRequests(client);
}

void SingleInstance::readRequests(Client* client)
{
    // At most a few lines' worth is read at a time, so a line that never
    // ends shows as more bytes than a request may have.
    char buffer[4 * kMaxLineLength];
    const ssize_t n = ::recv(client->fd, buffer, sizeof buffer, 0);
    if (n > 0)
        client->pending.append(buffer, n);
    else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        return drop(client);
    QStringList commands;
    for (qsizetype end; (end = client->pending.indexOf('\n')) >= 0 && end <= kMaxLineLength;) {
        const QString command = QString::fromUtf8(client->pending.first(end)).trimmed();
        client->pending.remove(0, end + 1);
        client->lastRequest = ++m_requests;
        client->answered = true;
        const bool known = m_commands.contains(command);
        client->queued.append(known ? "ok\n" : "error: unknown command\n");
        if (known)
            commands << command;
    }
    const bool tooLong = client->pending.size() > kMaxLineLength;
    if (tooLong)
        client->queued.append("error: request too long\n");
    // The answers of all the lines read go out together, before anything is done.
    flush(client);
    if (tooLong)
        drop(client);
    for (const QString& command : std::as_const(commands))
        Q_EMIT commandReceived(command);
}

void SingleInstance::flush(Client* client)
{
    // Never waits: what the client's socket cannot take now goes out when
    // it can, and the GUI thread goes on meanwhile.
    while (!client->queued.isEmpty()) {
        const ssize_t n = ::send(client->fd, client->queued.constData(), size_t(client->queued.size()),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            client->queued.remove(0, n);
        else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        else if (n >= 0 || errno != EINTR)
            return drop(client); // gone
    }
    if (client->queued.size() > kMaxQueuedBytes)
        return drop(client); // it does not read its answers
    client->writer.setEnabled(!client->queued.isEmpty());
}

void SingleInstance::drop(Client* client)
{
    const auto it = std::find(m_clients.begin(), m_clients.end(), client);
    if (it == m_clients.end())
        return;
    m_clients.erase(it);
    client->disconnect(this);
    client->close();
    // It may be the one whose notifier or timer called us.
    client->deleteLater();
}

} // namespace ondrel
