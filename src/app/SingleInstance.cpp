#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <algorithm>

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ondrel {

namespace {

// The socket's address; false when the path does not fit.
bool socketAddress(sockaddr_un& address)
{
    const QByteArray path = QFile::encodeName(SingleInstance::socketPath());
    address = sockaddr_un{};
    if (size_t(path.size()) >= sizeof address.sun_path)
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

} // namespace

// One connected program: its socket, what it sent that is not a whole line
// yet, and the time it may stay silent.
class SingleInstance::Client final : public QObject
{
public:
    Client(int fd, QObject* parent) : QObject(parent), fd(fd), notifier(fd, QSocketNotifier::Read, this)
    {
        idle.setParent(this);
        idle.setSingleShot(true);
        idle.setInterval(kIdleTimeoutMs);
        idle.start();
    }
    ~Client() override { close(); }

    void close()
    {
        notifier.setEnabled(false);
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    int fd;
    QSocketNotifier notifier;
    QTimer idle;
    QByteArray pending;
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
        QFile::remove(socketPath());
    }
}

QString SingleInstance::socketPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
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
    return dir + QStringLiteral("/ondrel-%1-%2.socket").arg(::getuid()).arg(display.right(40));
}

bool SingleInstance::send(const QString& command, int timeoutMs, QString* answer)
{
    const QDeadlineTimer deadline(timeoutMs);
    sockaddr_un address;
    if (!socketAddress(address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const auto done = [fd](bool ok) {
        ::close(fd);
        return ok;
    };
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // A full backlog makes a non-blocking connect wait for room.
        if (errno != EAGAIN && errno != EINPROGRESS)
            return done(false);
        int error = 0;
        socklen_t size = sizeof error;
        if (!waitFor(fd, POLLOUT, deadline) || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 ||
            error != 0)
            return done(false);
    }
    if (!sendAll(fd, command.toUtf8() + '\n', deadline))
        return done(false);
    QByteArray reply;
    while (!reply.contains('\n')) {
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            reply.append(buffer, n);
            if (reply.size() > kMaxLineLength)
                return done(false);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd, POLLIN, deadline))
            continue;
        return done(false); // closed before a whole answer, or out of time
    }
    const QString text = QString::fromUtf8(reply.first(reply.indexOf('\n'))).trimmed();
    if (answer)
        *answer = text;
    return done(text == u"ok");
}

bool SingleInstance::listen()
{
    m_lock = std::make_unique<QLockFile>(socketPath() + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0); // a crashed owner's lock is taken over (its process is gone)
    if (!m_lock->tryLock(100))
        return false;
    // The lock is ours: any socket file left is stale.
    sockaddr_un address;
    if (!socketAddress(address))
        return false;
    ::unlink(address.sun_path);
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listener < 0)
        return false;
    // Only this user may connect, even in a shared temporary folder.
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
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::getuid()) {
            ::close(fd);
            continue;
        }
        serve(fd);
    }
}

void SingleInstance::serve(int fd)
{
    while (int(m_clients.size()) >= kMaxClients)
        drop(m_clients.front());
    auto* client = new Client(fd, this);
    m_clients.push_back(client);
    connect(&client->idle, &QTimer::timeout, this, [this, client] { drop(client); });
    connect(&client->notifier, &QSocketNotifier::activated, this, [this, client] {
        client->idle.start();
        readRequests(client);
    });
    readRequests(client);
}

void SingleInstance::readRequests(Client* client)
{
    // At most a few lines' worth is read at a time, so a line that never
    // ends shows as more bytes than a request may have.
    bool closed = false;
    char buffer[4 * kMaxLineLength];
    const ssize_t n = ::recv(client->fd, buffer, sizeof buffer, 0);
    if (n > 0)
        client->pending.append(buffer, n);
    else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        closed = true;
    const QDeadlineTimer replyDeadline(100); // answers are a few bytes: the send buffer takes them
    bool tooLong = false;
    for (qsizetype end; (end = client->pending.indexOf('\n')) >= 0;) {
        if (end > kMaxLineLength) {
            tooLong = true;
            break;
        }
        const QString command = QString::fromUtf8(client->pending.first(end)).trimmed();
        client->pending.remove(0, end + 1);
        const bool known = m_commands.contains(command);
        if (!sendAll(client->fd, known ? QByteArrayView("ok\n") : QByteArrayView("error: unknown command\n"),
                     replyDeadline)) {
            closed = true;
            break;
        }
        if (known)
            Q_EMIT commandReceived(command);
    }
    if (tooLong || client->pending.size() > kMaxLineLength) {
        sendAll(client->fd, "error: request too long\n", replyDeadline);
        closed = true;
    }
    if (closed)
        drop(client);
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
