#pragma once

// The state of a DataControlConnection, shared by its two halves: the
// connection and its worker thread (DataControlConnection.cpp), and the
// bytes moved through pipes both ways (DataControlTransfer.cpp).

#include "ClipboardData.h"
#include "DataControlConnection.h"
#include "DataControlSession.h"

#include <QObject>
#include <QPointer>

#include <wayland-client.h>

#include "Worker.h"
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace ondrel::platform {

struct DataControlConnection::Private final : public wayland::SessionOwner
{
    using Clock = std::chrono::steady_clock;

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

    Budgets budgets;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    std::vector<Global> globals;
    std::unique_ptr<wayland::SessionBase> session;
    QString protocol;
    bool starting = true;

    int wake = -1;
    std::unique_ptr<Worker> worker; // runs the loop: events, our pipes, commands
    std::mutex mutex;
    std::deque<std::function<void()>> commands;
    bool commandsPending = false;
    std::atomic<bool> stop{false};
    std::vector<Writer> writers;
    // Selections seen, and the one whose source did not answer. Counted,
    // not told by the offer's address: a new offer may reuse a freed one's.
    quint64 selections = 0;
    std::optional<quint64> silentSelection;
    // The same of the primary selection.
    quint64 primarySelections = 0;
    std::optional<quint64> silentPrimary;

    // What the selection read last offered, to offer again when its
    // program quits (see setKeepContents).
    std::atomic<bool> keep{false};
    Contents kept;
    std::optional<quint64> keptSelection;
    bool keeping = false; // our offer of `kept` is on its way

    QPointer<QObject> changeContext;
    std::function<void()> changed;
    QPointer<QObject> primaryContext;
    std::function<void()> primaryChanged;

    explicit Private(Budgets b) : budgets(b) {}
    ~Private() override;

    // The connection and the worker (DataControlConnection.cpp).
    void selectionChanged() override;
    void primarySelectionChanged() override;
    quint64& count(wayland::Selection which)
    {
        return which == wayland::Selection::primary ? primarySelections : selections;
    }
    static void global(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version);
    static void globalRemove(void*, wl_registry*, uint32_t) {}
    static constexpr wl_registry_listener kRegistryListener = {&global, &globalRemove};
    const Global* find(const char* interface) const;
    template <class P> bool startSession(uint32_t maxVersion);
    void connect();
    void post(std::function<void()> command);
    void runCommands();
    void run();

    // Pipes (DataControlTransfer.cpp).
    void serve(int fd, QByteArray bytes) override;
    // One turn of the loop: Wayland events, our writers and, when given, a
    // pipe being read. Waits at most `timeoutMs` (-1: until something
    // happens). Answers the events of `extraFd`.
    short pump(int timeoutMs, int extraFd = -1);
    // The bytes the source of `selection` (of `which`) gives for `mime`, at
    // the pace ReadPace sets; given up when a newer one comes.
    OfferedData fetch(void* offer, const QString& mime, wayland::Selection which, quint64 selection,
                      qsizetype limit);
    // What a capture records of the current clipboard, or of the primary
    // selection its text (selectionTypes).
    ClipboardContents read(wayland::Selection which, qsizetype limit);
    // Notes what `selection` offered (`type` and `bytes`: the data `contents` were read from).
    void keepFrom(quint64 selection, const ClipboardContents& contents, const QString& type,
                  const QByteArray& bytes);
};

} // namespace ondrel::platform
