#include "DataControlConnection.h"

#include "ClipboardData.h"
#include "DataControlSession.h"

#include <QHash>
#include <QMetaObject>
#include <QPointer>
#include <QSet>

#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace ondrel::platform {

namespace {

using Clock = std::chrono::steady_clock;
using Contents = DataControlConnection::Contents;
using wayland::Session;
using wayland::SessionBase;
using wayland::SessionOwner;

// A program that stops reading what we serve is given up on after this.
constexpr int kWriteStallMs = 5000;

int msSince(Clock::time_point t)
{
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

struct Global
{
    uint32_t name;
    QByteArray interface;
    uint32_t version;
};

// Our own contents on their way into another program's pipe.
struct Writer
{
    int fd;
    QByteArray bytes;
    qsizetype offset = 0;
    Clock::time_point lastProgress;
};

} // namespace

struct DataControlConnection::Private final : public SessionOwner
{
    Budgets budgets;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    std::vector<Global> globals;
    std::unique_ptr<SessionBase> session;
    QString protocol;
    bool starting = true;

    int wake = -1;
    std::thread thread;
    std::mutex mutex;
    std::deque<std::function<void()>> commands;
    bool commandsPending = false;
    std::atomic<bool> stop{false};
    std::vector<Writer> writers;
    // Selections seen, and the one whose source did not answer. Counted,
    // not told by the offer's address: a new offer may reuse a freed one's.
    quint64 selections = 0;
    std::optional<quint64> silentSelection;

    QObject relay; // on the main thread: what the worker hands over arrives here
    QPointer<QObject> changeContext;
    std::function<void()> changed;

    explicit Private(Budgets b) : budgets(b) {}

    void selectionChanged() override
    {
        ++selections;
        // The selection there already at start is no change.
        if (starting)
            return;
        QMetaObject::invokeMethod(
            &relay,
            [this] {
                if (changeContext && changed)
                    changed();
            },
            Qt::QueuedConnection);
    }

    void serve(int fd, QByteArray bytes) override
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        writers.push_back(Writer{fd, std::move(bytes), 0, Clock::now()});
    }

    static void global(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version)
    {
        static_cast<Private*>(data)->globals.push_back(Global{name, QByteArray(interface), version});
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}
    static constexpr wl_registry_listener kRegistryListener = {&global, &globalRemove};

    const Global* find(const char* interface) const
    {
        for (const Global& g : globals)
            if (g.interface == interface)
                return &g;
        return nullptr;
    }

    template <class P> bool startSession(uint32_t maxVersion)
    {
        const Global* g = find(P::managerInterface()->name);
        if (!g)
            return false;
        auto* manager = static_cast<typename P::Manager*>(
            wl_registry_bind(registry, g->name, P::managerInterface(), std::min(g->version, maxVersion)));
        session = std::make_unique<Session<P>>(*this, manager, seat);
        protocol = QString::fromLatin1(P::kName);
        return true;
    }

    void connect()
    {
        display = wl_display_connect(nullptr);
        if (!display)
            return;
        registry = wl_display_get_registry(display);
        wl_registry_add_listener(registry, &kRegistryListener, this);
        if (wl_display_roundtrip(display) < 0)
            return;
        const Global* seatGlobal = find("wl_seat");
        if (!seatGlobal)
            return;
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, seatGlobal->name, &wl_seat_interface, 1));
        if (!startSession<wayland::ExtDataControl>(1))
            startSession<wayland::WlrDataControl>(2);
        if (session)
            wl_display_roundtrip(display); // the current selection and its types
        starting = false;
    }

    void post(std::function<void()> command)
    {
        {
            std::lock_guard lock(mutex);
            commands.push_back(std::move(command));
        }
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
    }

    void runCommands()
    {
        for (;;) {
            std::function<void()> command;
            {
                std::lock_guard lock(mutex);
                if (commands.empty()) {
                    commandsPending = false;
                    return;
                }
                command = std::move(commands.front());
                commands.pop_front();
            }
            command();
        }
    }

    // One turn of the loop: Wayland events, our writers and, when given, a
    // pipe being read. Waits at most `timeoutMs` (-1: until something
    // happens). Answers the events of `extraFd`.
    short pump(int timeoutMs, int extraFd = -1)
    {
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        wl_display_flush(display);
        std::vector<pollfd> fds = {{wl_display_get_fd(display), POLLIN, 0}, {wake, POLLIN, 0}};
        if (extraFd >= 0)
            fds.push_back({extraFd, POLLIN, 0});
        const size_t firstWriter = fds.size();
        // Events dispatched below may add writers: only these have a slot.
        const size_t polledWriters = writers.size();
        for (const Writer& w : writers) {
            fds.push_back({w.fd, POLLOUT, 0});
            const int left = std::max(0, kWriteStallMs - msSince(w.lastProgress));
            timeoutMs = timeoutMs < 0 ? left : std::min(timeoutMs, left);
        }
        const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        if (ready > 0 && (fds[0].revents & POLLIN))
            wl_display_read_events(display);
        else
            wl_display_cancel_read(display);
        wl_display_dispatch_pending(display);
        if (fds[0].revents & (POLLERR | POLLHUP))
            stop = true; // the compositor went away
        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(wake, &count, sizeof count);
            commandsPending = true;
        }
        // Writers, newest last; those done or stalled go.
        std::vector<Writer> still;
        for (size_t i = 0; i < writers.size(); ++i) {
            Writer& w = writers[i];
            const short revents = i < polledWriters ? fds[firstWriter + i].revents : short(0);
            bool done = false;
            if (revents & POLLOUT) {
                const ssize_t n =
                    ::write(w.fd, w.bytes.constData() + w.offset, size_t(w.bytes.size() - w.offset));
                if (n > 0) {
                    w.offset += n;
                    w.lastProgress = Clock::now();
                }
                done = w.offset >= w.bytes.size() || (n < 0 && errno != EAGAIN && errno != EINTR);
            } else if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
                done = true;
            }
            if (done || msSince(w.lastProgress) >= kWriteStallMs)
                ::close(w.fd);
            else
                still.push_back(std::move(w));
        }
        writers = std::move(still);
        return extraFd >= 0 ? fds[2].revents : 0;
    }

    // The bytes the current source gives for `mime`, within the data budget
    // counted from the last progress.
    OfferedData fetch(void* offer, const QString& mime)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
            return {};
        session->receive(offer, mime.toUtf8(), fds[1]);
        wl_display_flush(display);
        ::close(fds[1]);
        OfferedData data;
        Clock::time_point last = Clock::now();
        char buffer[65536];
        for (;;) {
            if (stop) {
                data.status = OfferedData::Status::stopped;
                break;
            }
            const int left = budgets.dataMs - msSince(last);
            if (left <= 0) {
                data.status = OfferedData::Status::timedOut;
                break;
            }
            const short revents = pump(left, fds[0]);
            if (!(revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n > 0) {
                data.bytes.append(buffer, n);
                last = Clock::now();
                if (data.bytes.size() > kMaxOfferedBytes) {
                    data.status = OfferedData::Status::tooLarge;
                    break;
                }
            } else if (n == 0) {
                data.status = OfferedData::Status::ok;
                break;
            } else if (errno != EAGAIN && errno != EINTR) {
                break;
            }
        }
        ::close(fds[0]);
        if (data.status != OfferedData::Status::ok)
            data.bytes.clear();
        return data;
    }

    ClipboardContents read()
    {
        ClipboardContents contents;
        QStringList types;
        void* offer = session ? session->currentOffer(&types) : nullptr;
        if (!offer)
            return contents;
        types.removeIf(isMetaTarget);
        contents.types = types;
        const quint64 selection = selections;
        if (silentSelection == selection)
            return contents;
        session->hold(offer, true);
        contents = readOffered(
            types,
            [&](const QString& mime) {
                OfferedData data = fetch(offer, mime);
                if (data.status == OfferedData::Status::timedOut)
                    silentSelection = selection;
                return data;
            },
            budgets.decodeMs, stop);
        session->hold(offer, false);
        return contents;
    }

    void run()
    {
        // A reader that closes its pipe early must not take the program with it.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        while (!stop) {
            if (commandsPending)
                runCommands();
            pump(-1);
        }
    }

    ~Private() override
    {
        if (thread.joinable()) {
            stop = true;
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
            thread.join();
        }
        for (const Writer& w : writers)
            ::close(w.fd);
        session.reset();
        if (seat)
            wl_seat_destroy(seat);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
        if (wake >= 0)
            ::close(wake);
    }
};

DataControlConnection::DataControlConnection(Budgets budgets) : d(std::make_unique<Private>(budgets))
{
    d->connect();
    if (!d->session)
        return;
    d->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    d->thread = std::thread([p = d.get()] { p->run(); });
}

DataControlConnection::~DataControlConnection() = default;

bool DataControlConnection::isAvailable() const
{
    return d->session != nullptr;
}

QString DataControlConnection::protocolName() const
{
    return d->protocol;
}

void DataControlConnection::setChangeHandler(QObject* context, std::function<void()> changed)
{
    d->changeContext = context;
    d->changed = std::move(changed);
}

void DataControlConnection::readContents(QObject* context, std::function<void(ClipboardContents)> done)
{
    if (!isAvailable()) {
        done({});
        return;
    }
    QPointer<QObject> guard(context);
    d->post([p = d.get(), guard, done = std::move(done)]() mutable {
        ClipboardContents contents = p->read();
        QMetaObject::invokeMethod(
            &p->relay,
            [guard, done = std::move(done), contents = std::move(contents)] {
                if (guard)
                    done(contents);
            },
            Qt::QueuedConnection);
    });
}

void DataControlConnection::setContents(Contents contents)
{
    if (!isAvailable())
        return;
    d->post([p = d.get(), contents = std::move(contents)] { p->session->setContents(contents); });
}

} // namespace ondrel::platform
