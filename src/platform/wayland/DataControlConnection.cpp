#include "DataControlConnectionPrivate.h"

#include <QMetaObject>

#include <algorithm>

#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace ondrel::platform {

using wayland::Session;

void DataControlConnection::Private::selectionChanged()
{
    ++selections;
    // The selection there already at start is no change.
    if (starting)
        return;
    QStringList types;
    const bool empty = session->currentOffer(wayland::Selection::clipboard, &types) == nullptr;
    if (keeping) {
        keeping = false;
        if (!empty && session->ownsSelection())
            return; // the kept contents, offered by us
    }
    if (empty && keep && keptSelection == selections - 1) {
        // Its program quit: what it offered stays on the clipboard.
        keeping = true;
        session->setContents(kept, {});
        return;
    }
    worker->toGui([this] {
        if (changeContext && changed)
            changed();
    });
}

void DataControlConnection::Private::primarySelectionChanged()
{
    ++primarySelections;
    if (starting)
        return;
    worker->toGui([this] {
        if (primaryContext && primaryChanged)
            primaryChanged();
    });
}

void DataControlConnection::Private::global(void* data, wl_registry*, uint32_t name, const char* interface,
                                            uint32_t version)
{
    static_cast<Private*>(data)->globals.push_back(Global{name, QByteArray(interface), version});
}

const DataControlConnection::Private::Global*
DataControlConnection::Private::find(const char* interface) const
{
    for (const Global& g : globals)
        if (g.interface == interface)
            return &g;
    return nullptr;
}

template <class P> bool DataControlConnection::Private::startSession(uint32_t maxVersion)
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

void DataControlConnection::Private::connect()
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

void DataControlConnection::Private::post(std::function<void()> command)
{
    {
        std::lock_guard lock(mutex);
        commands.push_back(std::move(command));
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
}

void DataControlConnection::Private::runCommands()
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

void DataControlConnection::Private::run()
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

DataControlConnection::Private::~Private()
{
    if (worker) {
        // The loop hands results over through `worker`: it must have returned
        // before the pointer goes.
        stop = true;
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
        worker->waitIdle();
        worker.reset();
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

DataControlConnection::DataControlConnection(Budgets budgets) : d(std::make_unique<Private>(budgets))
{
    d->connect();
    if (!d->session)
        return;
    d->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    d->worker = std::make_unique<Worker>("ondrel-wayland");
    d->worker->post([p = d.get()] { p->run(); });
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

void DataControlConnection::setPrimaryChangeHandler(QObject* context, std::function<void()> changed)
{
    d->primaryContext = context;
    d->primaryChanged = std::move(changed);
}

void DataControlConnection::readContents(QObject* context, std::function<void(ClipboardContents)> done,
                                         qsizetype limit)
{
    read(wayland::Selection::clipboard, context, std::move(done), limit);
}

void DataControlConnection::readPrimaryText(QObject* context, std::function<void(ClipboardContents)> done,
                                            qsizetype limit)
{
    read(wayland::Selection::primary, context, std::move(done), limit);
}

void DataControlConnection::read(wayland::Selection which, QObject* context,
                                 std::function<void(ClipboardContents)> done, qsizetype limit)
{
    if (!isAvailable()) {
        done({});
        return;
    }
    d->post(
        [p = d.get(), which, guard = QPointer<QObject>(context), done = std::move(done), limit]() mutable {
            p->worker->toGui(std::move(guard),
                             [done = std::move(done), contents = p->read(which, limit)] { done(contents); });
        });
}

void DataControlConnection::setContents(Contents contents, Maker make)
{
    if (!isAvailable())
        return;
    d->post([p = d.get(), contents = std::move(contents), make = std::move(make)]() mutable {
        // Our own write (emptying the clipboard first included) is no
        // program quitting: what was read before is not to come back.
        p->keptSelection.reset();
        p->session->setContents(contents, std::move(make));
    });
}

void DataControlConnection::setKeepContents(bool keep)
{
    d->keep = keep;
}

} // namespace ondrel::platform
