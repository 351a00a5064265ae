#pragma once

#include <QString>

#include <atomic>
#include <thread>
#include <vector>

namespace ondrel::test {

// Programs of the same user that flood a local socket, each on a thread of
// its own, until the object goes: `Garbage` ones write random bytes,
// `NeverReading` ones ask (unknown commands) without ever reading the
// answers. Each connects again whenever it is let go.
class SocketFlood final
{
public:
    enum class Kind
    {
        Garbage,
        NeverReading
    };
    SocketFlood(const QString& socketPath, Kind kind, int clients = 20);
    ~SocketFlood();
    SocketFlood(const SocketFlood&) = delete;
    SocketFlood& operator=(const SocketFlood&) = delete;

    // Connections made so far (the flood is running once there are some).
    int connections() const { return m_connections; }

private:
    void run(int seed);

    QByteArray m_path;
    Kind m_kind;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_connections = 0;
    std::vector<std::thread> m_threads;
};

} // namespace ondrel::test
