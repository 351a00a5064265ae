#include "X11ClipboardReader.h"

#include "ClipboardData.h"
#include "X11SelectionTransfer.h"
#include "Xcb.h"

#include "Worker.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include <sys/eventfd.h>
#include <unistd.h>

namespace ondrel::platform {

struct X11ClipboardReader::Private
{
    using Status = X11SelectionTransfer::Status;
    using Fetched = X11SelectionTransfer::Fetched;

    Budgets budgets;
    xcb_connection_t* connection = nullptr;
    int wakeFd = -1;

    // Set (with a wake-up on wakeFd) when the reader goes, so that a read
    // waiting for a slow owner ends at once.
    std::atomic<bool> stopping{false};
    std::unique_ptr<X11SelectionTransfer> transfer;
    std::unique_ptr<Worker> worker;

    // The owner that left a request unanswered, and for which change.
    xcb_window_t silentOwner = XCB_NONE;
    qint64 silentGeneration = -1;
    // The owner and change of the read under way.
    xcb_window_t currentOwner = XCB_NONE;
    qint64 currentGeneration = -1;

    // Remembered so that the same copy is not read again.
    void ownerWentSilent()
    {
        silentOwner = currentOwner;
        silentGeneration = currentGeneration;
    }

    // Reads on the worker; the result reaches `context` on the main thread
    // unless it is gone by then. Reads still queued when the reader goes
    // are dropped.
    template <typename T> void read(QObject* context, std::function<T()> work, std::function<void(T)> done)
    {
        if (!worker)
            return; // not connected: there is nobody to ask
        worker->run(
            context,
            [this, work = std::move(work)] {
                if (stopping)
                    return T();
                T result = work();
                transfer->endRead();
                return result;
            },
            [done = std::move(done)](T result) { done(std::move(result)); });
    }

    // One request; an owner that lets it time out is not asked again for this copy.
    Fetched fetch(xcb_atom_t target, int budgetMs, qsizetype limit = kMaxEntryBytes)
    {
        Fetched fetched = transfer->fetch(target, budgetMs, limit);
        if (fetched.status == Status::timedOut)
            ownerWentSilent();
        return fetched;
    }

    // One type by its name, for a capture (which says what went wrong).
    OfferedData fetchOffered(const QString& name, qsizetype limit = kMaxEntryBytes)
    {
        const xcb_atom_t atom = xcb::atom(connection, name.toStdString());
        if (atom == XCB_ATOM_NONE)
            return {};
        Fetched fetched = fetch(atom, budgets.dataMs, limit);
        switch (fetched.status) {
        case Status::ok:
            // An owner may answer a request for TEXT or UTF8_STRING with
            // Latin-1 STRING data; the capture reads those types as UTF-8.
            if (fetched.type == XCB_ATOM_STRING && name != u"STRING")
                fetched.bytes = QString::fromLatin1(fetched.bytes).toUtf8();
            return {OfferedData::Status::ok, std::move(fetched.bytes)};
        case Status::timedOut:
            return {OfferedData::Status::timedOut, {}};
        case Status::tooSlow:
            return {OfferedData::Status::tooSlow, {}};
        case Status::tooLarge:
            return {OfferedData::Status::tooLarge, {}};
        case Status::superseded:
            return {OfferedData::Status::superseded, {}};
        case Status::stopped:
            return {OfferedData::Status::stopped, {}};
        case Status::refused:
        case Status::failed:
            break;
        }
        return {};
    }

    // One type by its name, for a hand-over, saying what went wrong.
    OfferedData fetchNamed(const QString& name)
    {
        OfferedData data = fetchOffered(name);
        switch (data.status) {
        case OfferedData::Status::timedOut:
            sayOwnerDoesNotAnswer();
            break;
        case OfferedData::Status::tooSlow:
            sayTooSlow();
            break;
        case OfferedData::Status::tooLarge:
            sayTooLarge(name);
            break;
        case OfferedData::Status::superseded:
            saySuperseded();
            break;
        default:
            break;
        }
        return data;
    }

    // The offered types, or none when the owner does not answer in time
    // (or the clipboard changed meanwhile: `superseded`).
    std::optional<QStringList> offeredTypes(qint64 generation, bool& superseded)
    {
        currentOwner = transfer->beginRead();
        currentGeneration = generation;
        if (currentOwner == XCB_NONE)
            return QStringList();
        if (currentOwner == silentOwner && generation == silentGeneration)
            return std::nullopt;
        Fetched fetched = fetch(transfer->targetsAtom(), budgets.targetsMs);
        if (fetched.status == Status::timedOut) {
            sayOwnerDoesNotAnswer();
            return std::nullopt;
        }
        if (fetched.status == Status::superseded) {
            saySuperseded();
            superseded = true;
            return std::nullopt;
        }
        if (fetched.status != Status::ok)
            return QStringList();
        QList<xcb_atom_t> atoms(fetched.bytes.size() / qsizetype(sizeof(xcb_atom_t)));
        std::memcpy(atoms.data(), fetched.bytes.constData(), size_t(atoms.size()) * sizeof(xcb_atom_t));
        QStringList types = transfer->namesOf(atoms);
        types.removeIf(isMetaTarget);
        return types;
    }

    bool isSecret(const QStringList& types)
    {
        const QString hint = QString::fromLatin1(kSecretHintType);
        if (!types.contains(hint))
            return false;
        const OfferedData data = fetchNamed(hint);
        // A hint that cannot be read is taken as meant: better one copy missed than a password kept.
        return data.status != OfferedData::Status::ok || isSecretMark(data.bytes);
    }

    ClipboardContents contents(qint64 generation, qsizetype limit, bool textOnly = false)
    {
        bool superseded = false;
        const std::optional<QStringList> types = offeredTypes(generation, superseded);
        if (!types) {
            ClipboardContents none;
            none.superseded = superseded;
            return none;
        }
        ClipboardContents contents = readOffered(
            textOnly ? selectionTypes(*types) : *types,
            [this, limit](const QString& type, qsizetype asked) {
                return fetchOffered(type, std::min(limit, asked));
            },
            budgets.decodeMs, stopping);
        contents.owner = currentOwner;
        // A program quitting hands its contents to the clipboard manager.
        contents.ownerLeft = transfer->isClipboardManager(currentOwner);
        return contents;
    }

    AllData allData(qint64 generation)
    {
        AllData all;
        bool superseded = false;
        const std::optional<QStringList> types = offeredTypes(generation, superseded);
        if (!types || types->isEmpty())
            return all;
        if (isSecret(*types)) {
            all.secret = true;
            return all;
        }
        for (const QString& type : *types) {
            OfferedData data = fetchNamed(type);
            if (data.status == OfferedData::Status::ok && !data.bytes.isEmpty())
                all.data.append({type, std::move(data.bytes)});
            // Part of what the owner offered before the clipboard changed is not what it offered.
            if (data.status == OfferedData::Status::superseded) {
                all.data.clear();
                return all;
            }
            if (stopping)
                return all;
        }
        all.complete = !all.data.isEmpty();
        return all;
    }
};

X11ClipboardReader::X11ClipboardReader(const QByteArray& display, Budgets budgets, const char* selection)
    : d(std::make_unique<Private>())
{
    d->budgets = budgets;
    d->connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    if (xcb_connection_has_error(d->connection))
        return;
    d->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    d->transfer = std::make_unique<X11SelectionTransfer>(d->connection, d->stopping, d->wakeFd, selection);
    d->worker =
        std::make_unique<Worker>(qstrcmp(selection, "CLIPBOARD") == 0 ? "ondrel-x11-read" : "ondrel-primary");
    d->worker->setWakeUp([p = d.get()] {
        p->stopping = true;
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(p->wakeFd, &one, sizeof one);
    });
}

X11ClipboardReader::~X11ClipboardReader()
{
    d->worker.reset(); // wakes a read in progress and joins
    d->transfer.reset();
    if (d->wakeFd >= 0)
        ::close(d->wakeFd);
    xcb_disconnect(d->connection);
}

bool X11ClipboardReader::isConnected() const
{
    return d->worker != nullptr;
}

void X11ClipboardReader::readContents(qint64 generation, QObject* context,
                                      std::function<void(ClipboardContents)> done, qsizetype limit)
{
    d->read<ClipboardContents>(
        context, [this, generation, limit] { return d->contents(generation, limit); }, std::move(done));
}

void X11ClipboardReader::readText(qint64 generation, QObject* context,
                                  std::function<void(ClipboardContents)> done, qsizetype limit)
{
    d->read<ClipboardContents>(
        context, [this, generation, limit] { return d->contents(generation, limit, true); }, std::move(done));
}

void X11ClipboardReader::readAll(qint64 generation, QObject* context, std::function<void(AllData)> done)
{
    d->read<AllData>(
        context, [this, generation] { return d->allData(generation); }, std::move(done));
}

} // namespace ondrel::platform
