#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "Clipboard.h"
#include "EntrySize.h"
#include "VectorImage.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

// What clipboard data means, whatever carries it (an X11 selection, a
// Wayland offer): targets that only describe a selection, URL lists, and
// which image to take and how to decode it without letting it run away.
namespace ondrel::platform {

// How long a read waits for another program, in milliseconds: for the
// list of types, for each piece of data (see ReadPace), and for an image
// to decode.
struct ClipboardReadBudgets
{
    int targetsMs = 200;
    int dataMs = 2000;
    int decodeMs = 3000;
};

// Targets that describe a selection rather than hold its data.
bool isMetaTarget(const QString& type);

// The URLs of a text/uri-list (comment lines and invalid entries left out).
QList<QUrl> parseUriList(const QByteArray& bytes);
// Whether `urls` name files (every one a file: URL): a file manager's copy,
// recorded as files even when it offers their paths as text too.
bool areFiles(const QList<QUrl>& urls);
// What a copy-out of files offers, type and bytes, in order: the URL list,
// what GNOME-style file managers paste from, and the paths (URLs for what
// is not a local file) as text, one per line. Empty when no URL is valid.
QList<ClipboardFormat> fileFormats(const QList<QUrl>& urls);

// The image types among `offered`, in the order they are tried: PNG, other
// raster types, vector ones last.
QStringList imageTypesInOrder(const QStringList& offered);

// The types a copy-out of an image offers, in order: the type it came in,
// then PNG and TIFF (where a TIFF writer is installed) when it came in
// another one.
QStringList imageTypesToOffer(const std::optional<EncodedImage>& encoded);
// `image` encoded as `type` (image/png, image/tiff, ...); empty when it
// cannot be. Costs up to a second for a large image: never on the GUI thread.
QByteArray encodeImage(const QImage& image, const QString& type);

// Decodes `bytes` of `type` on the calling thread. A drawing (SVG) is
// painted band by band and given up, with one console line, once it takes
// longer than `budgetMs` or `stop` is set; a raster image is bounded by the
// image reader's allocation limit.
std::optional<QImage> decodeImageWithin(const QByteArray& bytes, const QString& type, int budgetMs,
                                        const std::atomic<bool>& stop);

// One request for the data of one type, as the owner answered it.
struct OfferedData
{
    // Whatever the status, `bytes` is empty unless it is ok: what came of
    // a read given up is never taken for the whole.
    enum class Status
    {
        ok,
        failed,     // not given (refused, cut off): the next type is tried
        timedOut,   // the owner stopped answering: nothing more is asked
        tooSlow,    // the owner sends, but too slowly (ReadPace): nothing more is asked
        tooLarge,   // more than kMaxEntryBytes: nothing more is asked
        superseded, // another copy took the clipboard meanwhile: that one is read next
        stopped     // the reader is shutting down
    };
    Status status = Status::failed;
    QByteArray bytes;
};

// The slowest an owner may send once past its first `dataMs`, on average.
inline constexpr qsizetype kMinReadBytesPerSecond = qsizetype(1) << 20;

// The time the read of one piece of data has. The owner must answer and
// keep sending with no pause longer than `dataMs`; counted from the request,
// it must also average kMinReadBytesPerSecond beyond that first `dataMs`,
// so that one sending a byte now and then is given up as well instead of
// holding the reader (and every copy after it) for minutes.
class ReadPace
{
public:
    explicit ReadPace(int dataMs);
    // The owner moved: `bytes` more arrived (0 for an answer without data,
    // such as the start of a transfer in pieces).
    void progressed(qsizetype bytes);
    // How long the read may still wait, in milliseconds; 0 once it is over.
    int msLeft() const;
    // Why it is over: silence (timedOut) or a trickle (tooSlow).
    OfferedData::Status overStatus() const;

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point stallDeadline() const;
    Clock::time_point paceDeadline() const;

    std::chrono::milliseconds m_data;
    Clock::time_point m_start;
    Clock::time_point m_last;
    qsizetype m_received = 0;
};

// Appends `n` bytes of `data` to `bytes`, unless that would take it past
// `limit` (at most kMaxEntryBytes; then nothing is appended: false). The
// buffer grows in steps of at most 16 MiB and never beyond the limit, so an
// owner that never stops costs about the limit, not the double a doubling
// buffer reaches.
bool appendWithinLimit(QByteArray& bytes, const char* data, qsizetype n, qsizetype limit = kMaxEntryBytes);

// The text types a capture reads, best first: UTF-8 under its MIME name and
// its X11 name, plain text, then X11's Latin-1 STRING and its TEXT (the
// owner's choice of encoding, read as UTF-8). Wayland programs offer the
// X11 names too.
QStringList textTypesInOrder(const QStringList& offered);
// What a read of a mouse selection asks for among `offered`: the secret
// hint and the text types. A selection is recorded only as text: an image
// or a file list selected in a program is no copy of it.
QStringList selectionTypes(const QStringList& offered);
// The text of `bytes` offered as `type`.
QString decodeText(const QByteArray& bytes, const QString& type);
// UTF-8 decoded byte for byte: QString::fromUtf8 drops a leading
// byte-order mark, which is part of a copied text.
QString decodeUtf8(QByteArrayView bytes);

// The most a text entry keeps of each of its other forms (its HTML, its RTF).
inline constexpr qsizetype kMaxFormatBytes = qsizetype(4) << 20;
// The forms of a text kept beside it when offered with it: what word
// processors, mail programs and browsers paste formatting from.
QStringList richTextTypesIn(const QStringList& offered);

// What a copy records, from the types a clipboard offers, whichever desktop
// it is: the secret hint first (when it says so, or cannot be read, nothing
// else is read), else the first text type that answers, with its rich-text
// forms (each up to kMaxFormatBytes; one larger is left out, said on the
// console), else the first image type that decodes, else the text rendered
// from its HTML (the HTML kept as above), else the URL list. `fetch` asks
// the owner for a type's bytes, at most `limit` of them (past it the data is
// tooLarge); an owner that stops answering or sends too slowly, and a newer
// copy, end the read, said once on the console; so does one that gives too
// much (tooLargeType), said by the caller.
using OfferedFetch = std::function<OfferedData(const QString& type, qsizetype limit)>;
ClipboardContents readOffered(const QStringList& types, const OfferedFetch& fetch, int decodeMs,
                              const std::atomic<bool>& stop);

// The console lines of a read that went wrong, worded alike on every desktop.
void sayOwnerDoesNotAnswer();
void sayTooSlow();
void sayTooLarge(const QString& type);
void sayFormatLeftOut(const QString& type);
void saySuperseded();

} // namespace ondrel::platform
