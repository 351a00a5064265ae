#include "X11ClipboardReader.h"

#include "ClipboardData.h"
#include "X11SelectionTransfer.h"
#include "Xcb.h"

#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

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

    // Results reach the main thread through this object, which lives there.
    QObject receiver;

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    std::atomic<bool> stopping{false};
    std::unique_ptr<X11SelectionTransfer> transfer;
    std::thread thread;

    // The owner that left a request unanswered, and for which change.
    xcb_window_t silentOwner = XCB_NONE;
    qint64 silentGeneration = -1;
    // The owner and change of the read under way; `gaveUp` once it went silent.
    xcb_window_t currentOwner = XCB_NONE;
    qint64 currentGeneration = -1;
    bool gaveUp = false;

    void ownerWentSilent()
    {
        gaveUp = true;
        silentOwner = currentOwner;
        silentGeneration = currentGeneration;
        // Once per copy: the same copy is not read again.
        std::fprintf(
            stderr,
            "ondrel: the program that owns the clipboard does not answer; its copy is not recorded\n");
    }

    void run()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stopping || !jobs.empty(); });
                if (stopping)
                    return;
                job = std::move(jobs.front());
                jobs.pop_front();
            }
            job();
        }
    }

    void enqueue(std::function<void()> job)
    {
        {
            std::lock_guard lock(mutex);
            jobs.push_back(std::move(job));
        }
        wake.notify_one();
    }

    // Runs `fn` on the main thread unless `context` is gone by then.
    template <typename T> void deliver(QPointer<QObject> context, std::function<void(T)> done, T result)
    {
        QMetaObject::invokeMethod(
            &receiver,
            [context, done = std::move(done), result = std::move(result)] {
                if (context)
                    done(result);
            },
            Qt::QueuedConnection);
    }

    // One request; an owner that lets it time out is not asked again for this copy.
    Fetched fetch(xcb_atom_t target, int budgetMs)
    {
        Fetched fetched = transfer->fetch(target, budgetMs);
        if (fetched.status == Status::timedOut)
            ownerWentSilent();
        return fetched;
    }

    std::optional<QByteArray> fetchNamed(const QString& name, int budgetMs)
    {
        const xcb_atom_t atom = xcb::atom(connection, name.toStdString());
        if (atom == XCB_ATOM_NONE)
            return std::nullopt;
        Fetched fetched = fetch(atom, budgetMs);
        if (fetched.status == Status::tooLarge)
            std::fprintf(stderr, "ondrel: the clipboard's %s data is larger than 1 GiB; not recorded\n",
                         qPrintable(name));
        if (fetched.status != Status::ok)
            return std::nullopt;
        return fetched.bytes;
    }

    // The offered types, or none when the owner does not answer in time.
    std::optional<QStringList> offeredTypes(qint64 generation)
    {
        currentOwner = transfer->owner();
        currentGeneration = generation;
        gaveUp = false;
        if (currentOwner == XCB_NONE)
            return QStringList();
        if (currentOwner == silentOwner && generation == silentGeneration)
            return std::nullopt;
        Fetched fetched = fetch(transfer->targetsAtom(), budgets.targetsMs);
        if (fetched.status == Status::timedOut)
            return std::nullopt;
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
        const std::optional<QByteArray> bytes = fetchNamed(hint, budgets.dataMs);
        // A hint that cannot be read is taken as meant: better one copy missed than a password kept.
        return !bytes || isSecretMark(*bytes);
    }

    std::optional<QString> text(const QStringList& types)
    {
        static const char* const kTextTypes[] = {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain",
                                                 "STRING", "TEXT"};
        for (const char* type : kTextTypes) {
            const QString name = QString::fromLatin1(type);
            if (!types.contains(name))
                continue;
            const xcb_atom_t atom = xcb::atom(connection, type);
            Fetched fetched = fetch(atom, budgets.dataMs);
            if (fetched.status == Status::tooLarge)
                std::fprintf(stderr,
                             "ondrel: the text on the clipboard is larger than 1 GiB; not recorded\n");
            if (fetched.status == Status::stopped || fetched.status == Status::tooLarge || gaveUp)
                return std::nullopt;
            if (fetched.status != Status::ok)
                continue;
            if (fetched.type == XCB_ATOM_STRING)
                return QString::fromLatin1(fetched.bytes);
            return QString::fromUtf8(fetched.bytes);
        }
        return std::nullopt;
    }

    std::optional<QImage> image(const QStringList& types)
    {
        for (const QString& type : imageTypesInOrder(types)) {
            const std::optional<QByteArray> bytes = fetchNamed(type, budgets.dataMs);
            if (stopping || gaveUp)
                return std::nullopt;
            if (!bytes || bytes->isEmpty())
                continue;
            if (std::optional<QImage> image = decodeImageWithin(*bytes, type, budgets.decodeMs, stopping))
                return image;
        }
        return std::nullopt;
    }

    ClipboardContents contents(qint64 generation)
    {
        ClipboardContents contents;
        const std::optional<QStringList> types = offeredTypes(generation);
        if (!types)
            return contents;
        contents.types = *types;
        contents.owner = currentOwner;
        if (isSecret(contents.types)) {
            contents.secret = true;
            return contents;
        }
        if ((contents.text = text(contents.types)) && !contents.text->isEmpty())
            return contents;
        if (gaveUp || (contents.image = image(contents.types)))
            return contents;
        if (contents.types.contains(u"text/uri-list")) {
            if (const std::optional<QByteArray> list =
                    fetchNamed(QStringLiteral("text/uri-list"), budgets.dataMs))
                contents.fileURLs = parseUriList(*list);
        }
        return contents;
    }

    AllData allData(qint64 generation)
    {
        AllData all;
        const std::optional<QStringList> types = offeredTypes(generation);
        if (!types || types->isEmpty())
            return all;
        if (isSecret(*types)) {
            all.secret = true;
            return all;
        }
        for (const QString& type : *types) {
            if (std::optional<QByteArray> bytes = fetchNamed(type, budgets.dataMs);
                bytes && !bytes->isEmpty())
                all.data.append({type, *bytes});
            if (stopping)
                return all;
        }
        all.complete = !all.data.isEmpty();
        return all;
    }
};

X11ClipboardReader::X11ClipboardReader(const QByteArray& display, Budgets budgets)
    : d(std::make_unique<Private>())
{
    d->budgets = budgets;
    d->connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    if (xcb_connection_has_error(d->connection))
        return;
    d->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    d->transfer = std::make_unique<X11SelectionTransfer>(d->connection, d->stopping, d->wakeFd);
    d->thread = std::thread([this] { d->run(); });
}

X11ClipboardReader::~X11ClipboardReader()
{
    {
        std::lock_guard lock(d->mutex);
        d->stopping = true;
    }
    d->wake.notify_all();
    if (d->wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(d->wakeFd, &one, sizeof one);
    }
    if (d->thread.joinable())
        d->thread.join();
    d->transfer.reset();
    if (d->wakeFd >= 0)
        ::close(d->wakeFd);
    xcb_disconnect(d->connection);
}

bool X11ClipboardReader::isConnected() const
{
    return d->thread.joinable();
}

void X11ClipboardReader::readContents(qint64 generation, QObject* context,
                                      std::function<void(ClipboardContents)> done)
{
    QPointer<QObject> guard(context);
    d->enqueue([this, generation, guard, done = std::move(done)]() mutable {
        d->deliver<ClipboardContents>(guard, std::move(done), d->contents(generation));
    });
}

void X11ClipboardReader::readAll(qint64 generation, QObject* context, std::function<void(AllData)> done)
{
    QPointer<QObject> guard(context);
    d->enqueue([this, generation, guard, done = std::move(done)]() mutable {
        d->deliver<AllData>(guard, std::move(done), d->allData(generation));
    });
}

} // namespace ondrel::platform
