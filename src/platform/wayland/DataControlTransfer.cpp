// The bytes of a Wayland clipboard on their way through pipes: ours into
// the programs that paste them, and offers into a capture.

#include "DataControlConnectionPrivate.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace ondrel::platform {

namespace {

using Clock = std::chrono::steady_clock;

// A program that stops reading what we serve is given up on after this.
constexpr int kWriteStallMs = 5000;

int msSince(Clock::time_point t)
{
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

} // namespace

void DataControlConnection::Private::serve(int fd, QByteArray bytes)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    writers.push_back(Writer{fd, std::move(bytes), 0, Clock::now()});
}

short DataControlConnection::Private::pump(int timeoutMs, int extraFd)
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

OfferedData DataControlConnection::Private::fetch(void* offer, const QString& mime, wayland::Selection which,
                                                  quint64 selection, qsizetype limit)
{
    const quint64& current = count(which);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return {};
    session->receive(offer, mime.toUtf8(), fds[1]);
    wl_display_flush(display);
    ::close(fds[1]);
    OfferedData data;
    ReadPace pace(budgets.dataMs);
    char buffer[65536];
    for (;;) {
        if (stop) {
            data.status = OfferedData::Status::stopped;
            break;
        }
        // Events are taken in while the pipe is read: a newer copy ends the read.
        if (current != selection) {
            data.status = OfferedData::Status::superseded;
            break;
        }
        const int left = pace.msLeft();
        if (left <= 0) {
            data.status = pace.overStatus();
            break;
        }
        const short revents = pump(left, fds[0]);
        if (!(revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            pace.progressed(n);
            if (!appendWithinLimit(data.bytes, buffer, n, limit)) {
                data.status = OfferedData::Status::tooLarge;
                break;
            }
        } else if (n == 0) {
            // A source closes its end when it is done, but also when it loses
            // the clipboard half-way: the compositor told us of that before it
            // told the source, so the news is taken in first, and a cut text
            // is not taken for the whole.
            pump(0);
            data.status = current != selection ? OfferedData::Status::superseded : OfferedData::Status::ok;
            break;
        } else if (errno != EAGAIN && errno != EINTR) {
            break;
        }
    }
    ::close(fds[0]);
    if (data.status != OfferedData::Status::ok)
        data.bytes = QByteArray();
    return data;
}

ClipboardContents DataControlConnection::Private::read(wayland::Selection which, qsizetype limit)
{
    const bool primary = which == wayland::Selection::primary;
    ClipboardContents contents;
    QStringList types;
    void* offer = session ? session->currentOffer(which, &types) : nullptr;
    if (!offer)
        return contents;
    types.removeIf(isMetaTarget);
    if (primary)
        types = selectionTypes(types);
    contents.types = types;
    const quint64 selection = count(which);
    std::optional<quint64>& silent = primary ? silentPrimary : silentSelection;
    if (silent == selection)
        return contents;
    session->hold(offer, true);
    QString usedType; // the last data given: what the contents were read from
    QByteArray usedBytes;
    contents = readOffered(
        types,
        [&](const QString& mime, qsizetype asked) {
            OfferedData data = fetch(offer, mime, which, selection, std::min(limit, asked));
            if (data.status == OfferedData::Status::timedOut || data.status == OfferedData::Status::tooSlow)
                silent = selection;
            if (data.status == OfferedData::Status::ok) {
                usedType = mime;
                usedBytes = data.bytes;
            }
            return data;
        },
        budgets.decodeMs, stop);
    session->hold(offer, false);
    if (!primary)
        keepFrom(selection, contents, usedType, usedBytes);
    return contents;
}

void DataControlConnection::Private::keepFrom(quint64 selection, const ClipboardContents& contents,
                                              const QString& type, const QByteArray& bytes)
{
    kept.clear();
    keptSelection.reset();
    if (contents.secret || session->ownsSelection())
        return;
    if (contents.text && !contents.text->isEmpty()) {
        const QByteArray utf8 = contents.text->toUtf8();
        qsizetype size = utf8.size();
        for (const ClipboardFormat& format : contents.formats)
            size += format.bytes.size();
        if (size > kMaxKeptBytes)
            return;
        kept = {{QStringLiteral("text/plain;charset=utf-8"), utf8},
                {QStringLiteral("text/plain"), utf8},
                {QStringLiteral("UTF8_STRING"), utf8}};
        // Its HTML and RTF too: already read, and each within kMaxFormatBytes.
        for (const ClipboardFormat& format : contents.formats)
            kept.append({format.type, format.bytes});
    } else if (bytes.size() <= kMaxKeptBytes && (contents.image || contents.fileURLs)) {
        kept = {{type, bytes}};
    }
    if (!kept.isEmpty())
        keptSelection = selection;
}

} // namespace ondrel::platform
