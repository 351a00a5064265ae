#include "SocketFlood.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <random>

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace ondrel::test {

SocketFlood::SocketFlood(const QString& socketPath, Kind kind, int clients)
    : m_path(QFile::encodeName(socketPath)), m_kind(kind)
{
    for (int i = 0; i < clients; ++i)
        m_threads.emplace_back([this, i] { run(i); });
}

SocketFlood::~SocketFlood()
{
    m_stop = true;
    for (std::thread& thread : m_threads)
        thread.join();
}

void SocketFlood::run(int seed)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, m_path.constData(),
                std::min(size_t(m_path.size()), sizeof address.sun_path - 1));
    std::mt19937 random{unsigned(seed)};
    // Garbage is drawn once, and written in large pieces: the flood's own
    // work (making bytes, system calls) would take the machine from the
    // program it floods, and from the command measured beside it.
    constexpr size_t kPiece = 16 * 1024;
    QByteArray pool = QByteArray("status\n").repeated(kPiece / 7);
    if (m_kind == Kind::Garbage) {
        pool.resize(64 * 1024);
        for (char& c : pool)
            c = char(random());
    }
    // Blocking calls, but none for long: the flood stops soon after it is told.
    const timeval slice{0, 50 * 1000};
    while (!m_stop) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &slice, sizeof slice);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            ++m_connections;
            // Until the other end lets go.
            for (bool open = true; open && !m_stop;) {
                const size_t from = m_kind == Kind::Garbage ? random() % (pool.size() - kPiece) : 0;
                const ssize_t n =
                    ::send(fd, pool.constData() + from, std::min<size_t>(kPiece, pool.size()), MSG_NOSIGNAL);
                open = n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // it is not there (yet)
        }
        ::close(fd);
    }
}

} // namespace ondrel::test
