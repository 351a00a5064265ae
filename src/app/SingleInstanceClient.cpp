// Where the socket of the running instance is, and the side of `ondrel toggle`.
#include "SingleInstance.h"

#include "PrivateFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace ondrel {

namespace {

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

// A script run without a display (over ssh, from a timer) reaches the one
// Ondrel of its user when only one runs; with several, it cannot tell which.
QString withoutDisplay(const QString& path)
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
        QFile::exists(path))
        return path;
    const QFileInfo info(path);
    const QStringList sockets =
        info.dir().entryList({QStringLiteral("ondrel-%1-*.socket").arg(::geteuid())}, QDir::System);
    return sockets.size() == 1 ? info.dir().filePath(sockets.first()) : path;
}

} // namespace

// The socket's address; false when the path does not fit.
bool SingleInstance::socketAddress(const QString& socketPath, sockaddr_un& address)
{
    const QByteArray path = QFile::encodeName(socketPath);
    address = sockaddr_un{};
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
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

int SingleInstance::connectToInstance(const QDeadlineTimer& deadline, Result& result)
{
    QString error;
    const QString path = socketPath(&error);
    if (path.isEmpty()) {
        result = {Reply::Unsafe, error};
        return -1;
    }
    sockaddr_un address;
    if (!socketAddress(withoutDisplay(path), address)) {
        result = {Reply::NotRunning, {}};
        return -1;
    }
    const int fd = connectTo(address, deadline);
    if (fd < 0) {
        result = {errno == ENOENT || errno == ECONNREFUSED ? Reply::NotRunning : Reply::NoAnswer, {}};
        return -1;
    }
    // Not a word to a listener of another user: it could take the command
    // and answer "ok" in our name.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
        result = peer.uid != ::geteuid()
                     ? Result{Reply::Unsafe, QStringLiteral("%1 is served by another user (uid %2); nothing "
                                                            "was sent to it")
                                                 .arg(path)
                                                 .arg(peer.uid)}
                     : Result{Reply::NoAnswer, {}};
        ::close(fd);
        return -1;
    }
    result = {Reply::Ok, {}};
    return fd;
}

SingleInstance::CallResult SingleInstance::call(const Call& request, int timeoutMs)
{
    CallResult result;
    QDeadlineTimer deadline(timeoutMs);
    const int fd = connectToInstance(deadline, result.result);
    if (fd < 0)
        return result;
    const auto fail = [fd, &result] {
        ::close(fd);
        result.result = {Reply::NoAnswer, {}};
        return result;
    };
    // Each wait is bounded, not the whole: a large entry takes its time.
    const QByteArray payload = encodeCall(request);
    const QByteArray head = "call " + QByteArray::number(payload.size()) + '\n';
    for (QByteArrayView rest : {QByteArrayView(head), QByteArrayView(payload)}) {
        while (!rest.isEmpty()) {
            const QByteArrayView slice = rest.first(std::min<qsizetype>(rest.size(), 1 << 20));
            deadline.setRemainingTime(timeoutMs);
            if (!sendAll(fd, slice, deadline))
                return fail();
            rest = rest.sliced(slice.size());
        }
    }
    // The first line gives the lengths of what follows, which is read
    // straight into its place.
    const auto receive = [&](char* into, qsizetype size) -> qsizetype {
        for (;;) {
            const ssize_t n = ::recv(fd, into, size_t(size), 0);
            if (n > 0)
                return n;
            if (n < 0 && errno == EINTR)
                continue;
            deadline.setRemainingTime(timeoutMs);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd, POLLIN, deadline))
                continue;
            return -1; // closed before a whole answer, or silent too long
        }
    };
    QByteArray first;
    qsizetype headEnd = -1;
    while ((headEnd = first.indexOf('\n')) < 0) {
        char buffer[4096];
        const qsizetype n = first.size() > kMaxLineLength ? -1 : receive(buffer, sizeof buffer);
        if (n < 0)
            return fail();
        first.append(buffer, n);
    }
    const QList<QByteArray> words = first.first(headEnd).split(' ');
    bool ok[3] = {};
    const qint64 outLength = words.value(2).toLongLong(&ok[1]);
    const qint64 errLength = words.value(3).toLongLong(&ok[2]);
    result.answer.code = words.value(1).toInt(&ok[0]);
    if (words.size() != 4 || words[0] != "answer" || !ok[0] || !ok[1] || !ok[2] || outLength < 0 ||
        errLength < 0 || outLength > kMaxCallBytes || errLength > kMaxCallBytes)
        return fail();
    QByteArray& out = result.answer.out;
    QByteArray& err = result.answer.err;
    out.resize(outLength);
    err.resize(errLength);
    // What came with the first line.
    const QByteArrayView early = QByteArrayView(first).sliced(headEnd + 1);
    const qsizetype toOut = std::min<qsizetype>(early.size(), outLength);
    const qsizetype toErr = std::min<qsizetype>(early.size() - toOut, errLength);
    std::memcpy(out.data(), early.data(), size_t(toOut));
    std::memcpy(err.data(), early.data() + toOut, size_t(toErr));
    for (auto [into, at] : {std::pair(&out, toOut), std::pair(&err, toErr)})
        while (at < into->size()) {
            const qsizetype n = receive(into->data() + at, std::min<qsizetype>(into->size() - at, 1 << 20));
            if (n < 0)
                return fail();
            at += n;
        }
    ::close(fd);
    return result;
}

SingleInstance::Result SingleInstance::send(const QString& command, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    Result connected;
    const int fd = connectToInstance(deadline, connected);
    if (fd < 0)
        return connected;
    const auto done = [fd](Reply reply, QString detail = {}) {
        ::close(fd);
        return Result{reply, std::move(detail)};
    };
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

} // namespace ondrel
