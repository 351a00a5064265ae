#include "SingleInstance.h"

#include <QFile>
#include <QPointer>
#include <QSocketNotifier>

#include <algorithm>
#include <deque>
#include <utility>

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ondrel {

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
    qsizetype queuedFrom = 0;     // what of `queued` went out already
    std::deque<QByteArray> later; // a call's output and error, sent as they are after `queued`
    qint64 callLength = -1;       // a call's length once its first line came
    QByteArray call;              // what of the call came so far
    bool answered = false;
    quint64 lastRequest = 0; // when it connected or last asked something, in the instance's count
};

SingleInstance::SingleInstance(QStringList commands, QObject* parent)
    : QObject(parent), m_commands(std::move(commands))
{
    m_retry.setSingleShot(true);
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
    // A few at a time, so that a flood of connections cannot keep the GUI
    // thread here.
    for (int accepted = 0; accepted < kMaxClients; ++accepted) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: the connection waits in the backlog; try
                // again shortly rather than spin on a socket that stays readable.
                m_notifier->setEnabled(false);
                m_retry.start(kAcceptRetryMs);
                return;
            }
            break;
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
    // Clients turned away since the last round (pushed out, overlong
    // requests, answers never read): accepting rests a moment, and the
    // flooders wait in connect() instead of taking the processor from
    // everything else. An honest client waits a few such moments at most.
    if (std::exchange(m_turnedAway, 0) > 0) {
        m_notifier->setEnabled(false);
        m_retry.start(kFloodPauseMs);
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
        ++m_turnedAway;
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
    if (client->callLength >= 0)
        return readCall(client);
    // At most a few lines' worth is read at a time, so a line that never
    // ends shows as more bytes than a request may have.
    char buffer[4 * kMaxLineLength];
    const ssize_t n = ::recv(client->fd, buffer, sizeof buffer, 0);
    if (n > 0)
        client->pending.append(buffer, n);
    else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        return drop(client);
    QStringList commands;
    bool calling = false;
    for (qsizetype end; (end = client->pending.indexOf('\n')) >= 0 && end <= kMaxLineLength;) {
        const QByteArray line = client->pending.first(end).trimmed();
        client->pending.remove(0, end + 1);
        client->lastRequest = ++m_requests;
        if (line.startsWith("call ")) {
            // The rest of the connection is the call.
            bool ok = false;
            const qint64 length = line.sliced(5).toLongLong(&ok);
            const bool fits = ok && length >= 0 && length <= kMaxCallBytes;
            client->callLength = fits ? length : 0;
            // Bytes past the length the client gave are not part of it.
            client->call = std::exchange(client->pending, {});
            client->call.truncate(client->callLength);
            if (!fits) {
                client->answered = true;
                queueAnswer(client, {2, {}, "ondrel: request too large\n"});
            }
            calling = true;
            break;
        }
        client->answered = true;
        const QString command = QString::fromUtf8(line);
        const bool known = m_commands.contains(command);
        client->queued.append(known ? "ok\n" : "error: unknown command\n");
        if (known)
            commands << command;
    }
    const bool tooLong = !calling && client->pending.size() > kMaxLineLength;
    if (tooLong)
        client->queued.append("error: request too long\n");
    // The answers of all the lines read go out together, before anything is done.
    flush(client);
    if (tooLong) {
        drop(client);
        ++m_turnedAway;
    }
    for (const QString& command : std::as_const(commands))
        Q_EMIT commandReceived(command);
    if (calling && !client->answered)
        readCall(client);
}

void SingleInstance::readCall(Client* client)
{
    // A large call comes in a few slices at a time, so the GUI thread keeps
    // answering while a script sends a whole entry.
    constexpr qsizetype kSlice = 256 * 1024;
    for (int round = 0; client->call.size() < client->callLength; ++round) {
        if (round == 16)
            return; // the rest when the socket says so again
        const qsizetype at = client->call.size();
        const qsizetype want = std::min<qsizetype>(client->callLength - at, kSlice);
        client->call.resize(at + want);
        const ssize_t n = ::recv(client->fd, client->call.data() + at, size_t(want), 0);
        client->call.resize(at + std::max<qsizetype>(n, 0));
        if (n > 0 || (n < 0 && errno == EINTR))
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        return drop(client);
    }
    if (client->answered)
        return;
    client->answered = true;
    client->reader.setEnabled(false);
    const std::optional<Call> call = decodeCall(std::exchange(client->call, {}));
    const Respond reply = [this, client = QPointer<Client>(client)](Answer answer) {
        if (!client || std::find(m_clients.begin(), m_clients.end(), client.data()) == m_clients.end())
            return; // it went away meanwhile
        queueAnswer(client, std::move(answer));
        flush(client);
    };
    if (!call)
        reply({2, {}, "ondrel: malformed request\n"});
    else if (!m_callHandler)
        reply({3, {}, "ondrel: Ondrel is not ready for commands yet\n"});
    else
        m_callHandler(*call, reply);
}

void SingleInstance::queueAnswer(Client* client, Answer answer)
{
    // The output goes as it is: a large entry is not copied once more.
    client->queued.append(QByteArrayLiteral("answer ") + QByteArray::number(answer.code) + ' ' +
                          QByteArray::number(answer.out.size()) + ' ' +
                          QByteArray::number(answer.err.size()) + '\n');
    client->later.push_back(std::move(answer.out));
    client->later.push_back(std::move(answer.err));
}

QByteArray SingleInstance::encodeCall(const Call& call)
{
    // The argument count and each argument's length, then the input.
    QByteArray payload;
    const auto number = [&payload](quint32 n) {
        payload.append(reinterpret_cast<const char*>(&n), sizeof n);
    };
    number(quint32(call.args.size()));
    for (const QString& arg : call.args) {
        const QByteArray bytes = arg.toUtf8();
        number(quint32(bytes.size()));
        payload.append(bytes);
    }
    payload.append(call.input);
    return payload;
}

std::optional<SingleInstance::Call> SingleInstance::decodeCall(QByteArrayView payload)
{
    const auto number = [&payload](quint32& n) {
        if (payload.size() < qsizetype(sizeof n))
            return false;
        std::memcpy(&n, payload.data(), sizeof n);
        payload = payload.sliced(sizeof n);
        return true;
    };
    Call call;
    quint32 count = 0;
    if (!number(count) || count > quint32(payload.size() / 4))
        return std::nullopt;
    for (quint32 i = 0; i < count; ++i) {
        quint32 length = 0;
        if (!number(length) || length > quint32(payload.size()))
            return std::nullopt;
        call.args << QString::fromUtf8(payload.first(length));
        payload = payload.sliced(length);
    }
    call.input = payload.toByteArray();
    return call;
}

void SingleInstance::flush(Client* client)
{
    // Never waits: what the client's socket cannot take now goes out when
    // it can, and the GUI thread goes on meanwhile.
    const bool calling = client->callLength >= 0;
    while (client->queuedFrom < client->queued.size()) {
        const ssize_t n =
            ::send(client->fd, client->queued.constData() + client->queuedFrom,
                   size_t(client->queued.size() - client->queuedFrom), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            client->queuedFrom += n;
            if (calling)
                client->idle.start(); // a large answer is being read
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else if (n >= 0 || errno != EINTR) {
            return drop(client); // gone
        }
    }
    if (client->queuedFrom == client->queued.size() && !client->later.empty()) {
        client->queued = std::move(client->later.front());
        client->later.pop_front();
        client->queuedFrom = 0;
        return flush(client);
    }
    if (client->queuedFrom == client->queued.size()) {
        client->queued.clear();
        client->queuedFrom = 0;
        // A call's connection ends with its answer.
        if (calling && client->answered)
            return drop(client);
    }
    // A call's one answer may be large; lines answered pile up only when
    // the client does not read them.
    if (!calling && client->queued.size() - client->queuedFrom > kMaxQueuedBytes) {
        ++m_turnedAway;
        return drop(client); // it does not read its answers
    }
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
