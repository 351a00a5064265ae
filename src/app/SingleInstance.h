#pragma once

#include <QLockFile>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QDeadlineTimer;
class QSocketNotifier;
struct sockaddr_un;

namespace ondrel {

// One Ondrel per user session: the first one listens on a socket in
// $XDG_RUNTIME_DIR, or without one in a folder of its own in the temporary
// folder, checked before use (only the same user may talk to it); later
// ones send it a command and leave. A request is one line; the answer is
// "ok", or "error: " and the reason. A call (a command line run by the
// running instance for the command-line client) is the line "call LENGTH"
// followed by that many bytes (the arguments, then the input), and is
// answered "answer CODE OUTLENGTH ERRLENGTH", the output and the error
// text; a connection carries one call.
class SingleInstance final : public QObject
{
    Q_OBJECT
public:
    // A few programs at a time ever talk to us; more connections push out
    // first those already answered, then those that said nothing for longest.
    static constexpr int kMaxClients = 8;
    // A client that says nothing for this long is let go.
    static constexpr int kIdleTimeoutMs = 2000;
    // The longest request line (a command name, really).
    static constexpr int kMaxLineLength = 256;
    // Answers a client has not taken yet; a client that lets more pile up
    // (it never reads) is let go.
    static constexpr int kMaxQueuedBytes = 4096;
    // The most a call may carry: an entry's worth of input and its arguments.
    static constexpr qsizetype kMaxCallBytes = (qsizetype(128) << 20) + (qsizetype(1) << 20);
    // After the process ran out of descriptors, accepting is tried again after this.
    static constexpr int kAcceptRetryMs = 500;
    // Under a flood of connections, accepting rests this long between rounds.
    static constexpr int kFloodPauseMs = 2;

    // How a command sent to the running instance went.
    enum class Reply
    {
        Ok,
        Refused,    // it answered with an error
        NotRunning, // no instance listens
        NoAnswer,   // one listens but gave no whole answer in time
        Unsafe,     // the socket's folder or its listener is not this user's own
    };
    struct Result
    {
        Reply reply = Reply::NotRunning;
        QString detail; // the error answered, or why the socket is not safe
        explicit operator bool() const { return reply == Reply::Ok; }
        // The console line that tells the user (empty when it went well).
        QString message() const;
    };

    // A command line for the running instance, and what it answered.
    struct Call
    {
        QStringList args;
        QByteArray input;
    };
    struct Answer
    {
        int code = 0;
        QByteArray out;
        QByteArray err;
    };
    struct CallResult
    {
        Result result; // how reaching the instance went
        Answer answer; // when it answered
    };
    // The arguments and input as one payload, and back (nothing when the
    // bytes are not a well-formed payload).
    static QByteArray encodeCall(const Call& call);
    static std::optional<Call> decodeCall(QByteArrayView payload);

    // `commands` are the requests answered "ok" and passed on.
    explicit SingleInstance(QStringList commands = {QStringLiteral("toggle")}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket of this user's session on this display (its lock is beside
    // it), after the folder that holds it was found or made and checked;
    // empty, with the reason in `error`, when the folder is not safe to use.
    static QString socketPath(QString* error = nullptr);

    // Sends a command ("toggle") to the running instance. Nothing is sent to
    // a listener that runs as another user.
    static Result send(const QString& command, int timeoutMs = 2000);
    // Runs a command line in the running instance. `timeoutMs` bounds each
    // wait for progress, not the whole: a large answer takes as long as it
    // takes to read.
    static CallResult call(const Call& call, int timeoutMs = 5000);

    // Answers calls, at once or later (an answer to a client gone by then is
    // dropped); without one they are answered with an error.
    using Respond = std::function<void(Answer)>;
    using CallHandler = std::function<void(const Call&, Respond)>;
    void setCallHandler(CallHandler handler) { m_callHandler = std::move(handler); }

    // Becomes the running instance; false when another one holds the lock,
    // or (with the reason in `error`) when the socket's folder is not safe.
    bool listen(QString* error = nullptr);
    int clientCount() const { return int(m_clients.size()); }

Q_SIGNALS:
    void commandReceived(const QString& command);

private:
    class Client;
    // A connection to the running instance, checked to be this user's;
    // -1 with `result` saying why not.
    static int connectToInstance(const QDeadlineTimer& deadline, Result& result);
    // The socket's address; false when the path does not fit.
    static bool socketAddress(const QString& socketPath, sockaddr_un& address);
    void acceptPending();
    void serve(int fd);
    void readRequests(Client* client);
    // Reads what is left of a call, then answers it.
    void readCall(Client* client);
    // Puts an answer to a call after what the client has not taken yet.
    static void queueAnswer(Client* client, Answer answer);
    void flush(Client* client);
    void drop(Client* client);

    QStringList m_commands;
    CallHandler m_callHandler;
    std::unique_ptr<QLockFile> m_lock;
    QString m_socketPath;
    int m_listener = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_retry;
    std::vector<Client*> m_clients;
    int m_turnedAway = 0;
    quint64 m_requests = 0; // counts accepted connections and requests, to order clients by their last one
};

} // namespace ondrel
