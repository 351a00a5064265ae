#pragma once

#include "SingleInstance.h"

#include <QByteArray>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace ondrel::test {

// The address of the socket at `path`.
inline sockaddr_un addressOf(const QByteArray& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return address;
}

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
        const sockaddr_un address = addressOf(QFile::encodeName(SingleInstance::socketPath()));
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

} // namespace ondrel::test
