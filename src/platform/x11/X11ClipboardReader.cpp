#include "X11ClipboardReader.h"

#include "Xcb.h"

#include <QBuffer>
#include <QImageReader>
#include <QPointer>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace ondrel::platform {

namespace {

using Clock = std::chrono::steady_clock;

// A selection holding more than this is not read (nor kept in memory).
constexpr qsizetype kMaxBytes = qsizetype(1) << 30;
// Vector images are drawn no larger than this on either side: the history
// shows thumbnails, and drawing at the declared size can take minutes.
constexpr int kVectorSide = 1024;

std::atomic<int> g_abandonedDecodes{0};

bool isMetaTarget(const QString& name)
{
    return name == u"TARGETS" || name == u"MULTIPLE" || name == u"TIMESTAMP" || name == u"SAVE_TARGETS" ||
           name == u"DELETE" || name == u"INSERT_SELECTION" || name == u"INSERT_PROPERTY";
}

bool isVectorImage(const QString& type)
{
    return type.startsWith(u"image/svg");
}

// Image types in the order they are tried: PNG, other raster types, vector ones.
QStringList imageTypes(const QStringList& offered)
{
    QStringList raster;
    QStringList vector;
    for (const QString& type : offered) {
        if (!type.startsWith(u"image/"))
            continue;
        if (type == u"image/png")
            raster.prepend(type);
        else
            (isVectorImage(type) ? vector : raster).append(type);
    }
    return raster + vector;
}

QImage decode(const QByteArray& bytes, bool vector)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (vector) {
        const QSize size = reader.size();
        if (size.isValid() && (size.width() > kVectorSide || size.height() > kVectorSide))
            reader.setScaledSize(size.scaled(kVectorSide, kVectorSide, Qt::KeepAspectRatio));
        else if (!size.isValid())
            reader.setScaledSize(QSize(kVectorSide, kVectorSide));
    }
    return reader.read();
}

QList<QUrl> parseUriList(const QByteArray& bytes)
{
    QList<QUrl> urls;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#'))
            continue;
        const QUrl url = QUrl::fromEncoded(trimmed);
        if (url.isValid())
            urls.append(url);
    }
    return urls;
}

} // namespace

struct X11ClipboardReader::Private
{
    enum class Status
    {
        ok,
        refused,
        timedOut,
        tooLarge,
        stopped,
        failed
    };
    struct Fetched
    {
        Status status = Status::failed;
        QByteArray bytes;
        xcb_atom_t type = XCB_ATOM_NONE;
    };

    Budgets budgets;
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
    xcb_atom_t clipboard = 0;
    xcb_atom_t targets = 0;
    xcb_atom_t incr = 0;
    xcb_atom_t property = 0;
    std::map<xcb_atom_t, QString> names;
    int wakeFd = -1;

    // Results reach the main thread through this object, which lives there.
    QObject receiver;

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    std::atomic<bool> stopping{false};
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

    // The next event `matches` accepts, or none when `deadline` passes or the
    // reader stops.
    template <typename Match>
    xcb::Reply<xcb_generic_event_t> waitFor(Match matches, Clock::time_point deadline)
    {
        for (;;) {
            while (auto event = xcb::own(xcb_poll_for_event(connection))) {
                if (matches(event.get()))
                    return event;
            }
            if (stopping || xcb_connection_has_error(connection))
                return nullptr;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return nullptr;
            pollfd fds[2] = {{xcb_get_file_descriptor(connection), POLLIN, 0}, {wakeFd, POLLIN, 0}};
            ::poll(fds, 2, int(left.count()) + 1);
            if (fds[1].revents & POLLIN)
                return nullptr;
        }
    }

    QStringList namesOf(const QList<xcb_atom_t>& atoms)
    {
        // Ask for every unknown name at once: one round trip, not one each.
        std::vector<std::pair<xcb_atom_t, xcb_get_atom_name_cookie_t>> asked;
        for (xcb_atom_t atom : atoms) {
            if (!names.count(atom))
                asked.emplace_back(atom, xcb_get_atom_name(connection, atom));
        }
        for (const auto& [atom, cookie] : asked) {
            const auto reply = xcb::own(xcb_get_atom_name_reply(connection, cookie, nullptr));
            names[atom] = reply ? QString::fromUtf8(xcb_get_atom_name_name(reply.get()),
                                                    xcb_get_atom_name_name_length(reply.get()))
                                : QString();
        }
        QStringList result;
        for (xcb_atom_t atom : atoms) {
            if (const QString& name = names[atom]; !name.isEmpty() && !result.contains(name))
                result.append(name);
        }
        return result;
    }

    xcb_window_t owner()
    {
        const auto reply = xcb::own(xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, clipboard), nullptr));
        return reply ? reply->owner : xcb_window_t(XCB_NONE);
    }

    // Reads our property whole and deletes it.
    Fetched takeProperty()
    {
        Fetched fetched;
        uint32_t offset = 0; // in 32-bit units
        for (;;) {
            const auto reply = xcb::own(xcb_get_property_reply(
                connection,
                xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, offset, 1 << 20),
                nullptr));
            if (!reply) {
                fetched.status = Status::failed;
                return fetched;
            }
            fetched.type = reply->type;
            const int length = xcb_get_property_value_length(reply.get());
            if (fetched.bytes.size() + length > kMaxBytes) {
                fetched.status = Status::tooLarge;
                break;
            }
            fetched.bytes.append(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
            if (reply->bytes_after == 0)
                break;
            offset += uint32_t(length / 4);
        }
        xcb_delete_property(connection, window, property);
        xcb_flush(connection);
        if (fetched.status != Status::tooLarge)
            fetched.status = Status::ok;
        return fetched;
    }

    Fetched timedOut()
    {
        if (stopping)
            return {Status::stopped, {}, XCB_ATOM_NONE};
        ownerWentSilent();
        return {Status::timedOut, {}, XCB_ATOM_NONE};
    }

    // Asks the owner to convert the clipboard to `target`; the first answer
    // must come within `budgetMs`, each later piece of a large transfer too.
    Fetched fetch(xcb_atom_t target, int budgetMs)
    {
        xcb_delete_property(connection, window, property);
        xcb_convert_selection(connection, window, clipboard, target, property, XCB_CURRENT_TIME);
        xcb_flush(connection);
        const auto budget = std::chrono::milliseconds(budgetMs);
        const auto notify = waitFor(
            [&](xcb_generic_event_t* e) {
                if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                    return false;
                auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(e);
                return n->requestor == window && n->selection == clipboard && n->target == target;
            },
            Clock::now() + budget);
        if (!notify)
            return timedOut();
        if (reinterpret_cast<xcb_selection_notify_event_t*>(notify.get())->property == XCB_NONE)
            return {Status::refused, {}, XCB_ATOM_NONE};
        Fetched first = takeProperty();
        if (first.status != Status::ok || first.type != incr)
            return first;
        // A large transfer: the owner puts each piece into the property after
        // we deleted the previous one, and ends with an empty piece.
        Fetched whole{Status::ok, {}, XCB_ATOM_NONE};
        for (;;) {
            const auto piece = waitFor(
                [&](xcb_generic_event_t* e) {
                    if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                        return false;
                    auto* p = reinterpret_cast<xcb_property_notify_event_t*>(e);
                    return p->window == window && p->atom == property && p->state == XCB_PROPERTY_NEW_VALUE;
                },
                Clock::now() + budget);
            if (!piece)
                return timedOut();
            Fetched next = takeProperty();
            if (next.status != Status::ok)
                return next;
            if (next.bytes.isEmpty())
                return whole;
            if (whole.bytes.size() + next.bytes.size() > kMaxBytes) {
                // Stop the owner from sending more: it waits for deletions we no longer make.
                return {Status::tooLarge, {}, XCB_ATOM_NONE};
            }
            whole.type = next.type;
            whole.bytes.append(next.bytes);
        }
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
        currentOwner = owner();
        currentGeneration = generation;
        gaveUp = false;
        if (currentOwner == XCB_NONE)
            return QStringList();
        if (currentOwner == silentOwner && generation == silentGeneration)
            return std::nullopt;
        Fetched fetched = fetch(targets, budgets.targetsMs);
        if (fetched.status == Status::timedOut)
            return std::nullopt;
        if (fetched.status != Status::ok)
            return QStringList();
        QList<xcb_atom_t> atoms(fetched.bytes.size() / qsizetype(sizeof(xcb_atom_t)));
        std::memcpy(atoms.data(), fetched.bytes.constData(), size_t(atoms.size()) * sizeof(xcb_atom_t));
        QStringList types = namesOf(atoms);
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
        return !bytes || bytes->trimmed() == "secret";
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

    // Decodes on a thread of its own, waiting at most the decode budget: a
    // decode that overruns is left to finish unobserved.
    std::optional<QImage> decodeInTime(const QByteArray& bytes, const QString& type)
    {
        struct Shared
        {
            std::mutex mutex;
            std::condition_variable done;
            bool finished = false;
            bool abandoned = false;
            QImage image;
        };
        const bool vector = isVectorImage(type);
        if (vector && g_abandonedDecodes > 0) {
            // One runaway drawing at a time: more would only eat the processor.
            std::fprintf(stderr,
                         "ondrel: an image on the clipboard (%s) was skipped: an earlier one is still "
                         "being decoded\n",
                         qPrintable(type));
            return std::nullopt;
        }
        auto shared = std::make_shared<Shared>();
        std::thread([shared, bytes, vector] {
            QImage image = decode(bytes, vector);
            std::lock_guard lock(shared->mutex);
            shared->image = std::move(image);
            shared->finished = true;
            if (shared->abandoned)
                --g_abandonedDecodes;
            shared->done.notify_all();
        }).detach();
        std::unique_lock lock(shared->mutex);
        const auto deadline = Clock::now() + std::chrono::milliseconds(budgets.decodeMs);
        while (!shared->finished && !stopping && Clock::now() < deadline)
            shared->done.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(50)));
        if (shared->finished)
            return shared->image.isNull() ? std::nullopt : std::optional<QImage>(shared->image);
        shared->abandoned = true;
        ++g_abandonedDecodes;
        if (!stopping)
            std::fprintf(stderr,
                         "ondrel: an image on the clipboard (%s) took too long to decode; not recorded\n",
                         qPrintable(type));
        return std::nullopt;
    }

    std::optional<QImage> image(const QStringList& types)
    {
        for (const QString& type : imageTypes(types)) {
            const std::optional<QByteArray> bytes = fetchNamed(type, budgets.dataMs);
            if (stopping || gaveUp)
                return std::nullopt;
            if (!bytes || bytes->isEmpty())
                continue;
            if (std::optional<QImage> image = decodeInTime(*bytes, type))
                return image;
        }
        return std::nullopt;
    }

    PasteboardContents contents(qint64 generation)
    {
        PasteboardContents contents;
        const std::optional<QStringList> types = offeredTypes(generation);
        if (!types)
            return contents;
        contents.types = *types;
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
    xcb_connection_t* c = d->connection;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    d->window = xcb_generate_id(c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, d->window, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    d->clipboard = xcb::atom(c, "CLIPBOARD");
    d->targets = xcb::atom(c, "TARGETS");
    d->incr = xcb::atom(c, "INCR");
    d->property = xcb::atom(c, "ONDREL_SELECTION");
    xcb_flush(c);
    d->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
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
    if (d->wakeFd >= 0)
        ::close(d->wakeFd);
    xcb_disconnect(d->connection);
}

bool X11ClipboardReader::isConnected() const
{
    return d->thread.joinable();
}

void X11ClipboardReader::readContents(qint64 generation, QObject* context,
                                      std::function<void(PasteboardContents)> done)
{
    QPointer<QObject> guard(context);
    d->enqueue([this, generation, guard, done = std::move(done)]() mutable {
        d->deliver<PasteboardContents>(guard, std::move(done), d->contents(generation));
    });
}

void X11ClipboardReader::readAll(qint64 generation, QObject* context, std::function<void(AllData)> done)
{
    QPointer<QObject> guard(context);
    d->enqueue([this, generation, guard, done = std::move(done)]() mutable {
        d->deliver<AllData>(guard, std::move(done), d->allData(generation));
    });
}

int X11ClipboardReader::abandonedDecodes()
{
    return g_abandonedDecodes;
}

} // namespace ondrel::platform
