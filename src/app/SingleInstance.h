#pragma once

#include <QLockFile>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <memory>

class QSocketNotifier;

namespace ondrel {

// One Ondrel per user session: the first one listens on a socket in
// $XDG_RUNTIME_DIR (only the same user may talk to it); later ones send it
// a command and leave. A request is one line; the answer is "ok", or
// "error: " and the reason.
class SingleInstance final : public QObject
{
    Q_OBJECT
public:
    // A few programs at a time ever talk to us; more connections push out the oldest.
    static constexpr int kMaxClients = 8;
    // A client that says nothing for this long is let go.
    static constexpr int kIdleTimeoutMs = 2000;
    // The longest request line (a command name, really).
    static constexpr int kMaxLineLength = 256;
    // After the process ran out of descriptors, accepting is tried again after this.
    static constexpr int kAcceptRetryMs = 500;

    // `commands` are the requests answered "ok" and passed on.
    explicit SingleInstance(QStringList commands = {QStringLiteral("toggle")}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket and lock of this user's session on this display.
    static QString socketPath();

    // Sends a command ("toggle") to the running instance; false when none
    // answers or it refuses the command (`answer` receives its reply).
    static bool send(const QString& command, int timeoutMs = 2000, QString* answer = nullptr);

    // Becomes the running instance; false when another one holds the lock.
    bool listen();
    int clientCount() const { return int(m_clients.size()); }

Q_SIGNALS:
    void commandReceived(const QString& command);

private:
    class Client;
    void acceptPending();
    void serve(int fd);
    void readRequests(Client* client);
    void drop(Client* client);

    QStringList m_commands;
    std::unique_ptr<QLockFile> m_lock;
    int m_listener = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_retry;
    std::deque<Client*> m_clients; // oldest first
};

} // namespace ondrel
