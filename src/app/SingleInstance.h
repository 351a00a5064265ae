#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

#include <memory>

namespace ondrel {

// One Ondrel per user session: the first one listens on a socket in
// $XDG_RUNTIME_DIR (only the same user may talk to it); later ones send it
// a command and leave.
class SingleInstance final : public QObject
{
    Q_OBJECT
public:
    // The socket and lock of this user's session.
    static QString socketPath();

    // Sends a command ("toggle") to the running instance; false when none answers.
    static bool send(const QString& command, int timeoutMs = 2000);

    // Becomes the running instance; false when another one holds the lock.
    bool listen();

Q_SIGNALS:
    void commandReceived(const QString& command);

private:
    void accept();

    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
};

} // namespace ondrel
