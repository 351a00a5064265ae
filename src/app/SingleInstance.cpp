#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <algorithm>

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ondrel {

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
    for (QLocalSocket* socket : m_clients) {
        socket->disconnect(this);
        delete socket;
    }
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
    return dir + QStringLiteral("/ondrel-%1.socket").arg(::getuid());
}

bool SingleInstance::send(const QString& command, int timeoutMs, QString* answer)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(command.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    const QString reply = QString::fromUtf8(socket.readLine()).trimmed();
    if (answer)
        *answer = reply;
    return reply == u"ok";
}

bool SingleInstance::listen()
{
    m_lock = std::make_unique<QLockFile>(socketPath() + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0); // a crashed owner's lock is taken over (its process is gone)
    if (!m_lock->tryLock(100))
        return false;
    // The lock is ours: any socket file left is stale.
    const QByteArray path = QFile::encodeName(socketPath());
    ::unlink(path.constData());
    sockaddr_un address{};
    if (size_t(path.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
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
        auto* socket = new QLocalSocket;
        if (!socket->setSocketDescriptor(fd)) {
            delete socket;
            ::close(fd);
            continue;
        }
        serve(socket);
    }
}

void SingleInstance::serve(QLocalSocket* socket)
{
    while (int(m_clients.size()) >= kMaxClients)
        drop(m_clients.front());
    m_clients.push_back(socket);
    socket->setReadBufferSize(4 * kMaxLineLength);
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(kIdleTimeoutMs);
    connect(idle, &QTimer::timeout, this, [this, socket] { drop(socket); });
    idle->start();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, idle] {
        idle->start();
        readRequests(socket);
    });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] { drop(socket); });
    readRequests(socket);
}

void SingleInstance::readRequests(QLocalSocket* socket)
{
    // The read buffer is bounded (see serve), so a line that never ends
    // shows as more bytes than a request may have.
    bool tooLong = false;
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine();
        if (line.size() > kMaxLineLength + 1) {
            tooLong = true;
            break;
        }
        const QString command = QString::fromUtf8(line).trimmed();
        if (!m_commands.contains(command)) {
            socket->write("error: unknown command\n");
            continue;
        }
        socket->write("ok\n");
        Q_EMIT commandReceived(command);
    }
    if (tooLong || socket->bytesAvailable() > kMaxLineLength) {
        socket->write("error: request too long\n");
        socket->flush();
        drop(socket);
    }
}

void SingleInstance::drop(QLocalSocket* socket)
{
    const auto it = std::find(m_clients.begin(), m_clients.end(), socket);
    if (it == m_clients.end())
        return;
    m_clients.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

} // namespace ondrel
