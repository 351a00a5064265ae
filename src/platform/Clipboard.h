#pragma once

#include <functional>

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "EntrySize.h"

#include <algorithm>
#include <optional>

class QObject;

namespace ondrel::platform {

// Data of one type as a program offered it (an image's encoded bytes, a
// page's HTML).
struct ClipboardFormat
{
    QString type;
    QByteArray bytes;
};
using EncodedImage = ClipboardFormat;

// What one look at the clipboard found, for recording it: the text when it
// offers text, else the image when it offers one, else its URL list (see
// readOffered in ClipboardData.h).
struct ClipboardContents
{
    QStringList types;
    // A password manager marked the contents as secret: nothing else is read.
    bool secret = false;
    std::optional<QString> text;
    // The text's other forms as offered (text/html, text/rtf, ...), each
    // within kMaxFormatBytes (ClipboardData.h).
    QList<ClipboardFormat> formats;
    std::optional<QImage> image;
    // The bytes `image` was decoded from, offered again when it is copied out.
    std::optional<EncodedImage> imageData;
    std::optional<QList<QUrl>> fileURLs;
    // Who offers the contents (on X11 the owner window); 0 when unknown or
    // this program. Another owner offering the image or files just recorded,
    // after the clipboard was left empty, is a hand-over (a clipboard
    // manager keeping what a closing program owned), not a new copy.
    quint64 owner = 0;
    // The owner before these quit, leaving the clipboard empty for a moment
    // that a read may not have seen, or these are the session's clipboard
    // manager's (handed to it by a program as it quit).
    bool ownerLeft = false;
    // The clipboard changed while these were read: nothing of them counts,
    // not even who offered them; the newer contents are read next.
    bool superseded = false;
    // The type whose data went past the read limit (nothing was read past
    // it, nothing else is read); empty when none did.
    QString tooLargeType;
};

// The type password managers mark what they copy with, holding "secret".
inline constexpr char kSecretHintType[] = "x-kde-passwordManagerHint";
inline bool isSecretMark(const QByteArray& hint)
{
    return hint.trimmed() == "secret";
}

// The system clipboard. All calls come from the main thread.
class Clipboard
{
public:
    virtual ~Clipboard() = default;

    // Moves whenever any program, this one included, changes the contents.
    // Reading it costs nothing, so a poll reads only this until it moves.
    virtual qint64 changeCount() const = 0;
    // Calls `fn` on the main thread after every change of the count, when
    // this clipboard can tell; answers false when it cannot (it must then be
    // polled). An empty `fn` stops the calls.
    virtual bool observeChanges(std::function<void()> fn)
    {
        (void)fn;
        return false;
    }

    // The plain text on the clipboard (UTF-8 on the wire), or none.
    virtual std::optional<QString> string() const = 0;
    // An image built from any image data on the clipboard, or none.
    virtual std::optional<QImage> image() const = 0;
    // The URL list on the clipboard, or none when it offers no URL list.
    virtual std::optional<QList<QUrl>> fileURLs() const = 0;
    // The types (MIME names) the clipboard offers.
    virtual QStringList types() const = 0;
    // The raw data offered for one type (empty when not offered).
    virtual QByteArray data(const QString& mimeType) const = 0;
    // Who offers the contents (see ClipboardContents::owner).
    virtual quint64 owner() const { return 0; }

    // A capture's read stops at this many bytes of one type: the contents
    // are then tooLarge. Never more than kMaxEntryBytes.
    void setReadLimit(qsizetype bytes) { m_readLimit = std::clamp<qsizetype>(bytes, 0, kMaxEntryBytes); }
    qsizetype readLimit() const { return m_readLimit; }

    // Asked before contents are kept for a program that quits (the X11
    // clipboard manager's hand-over): false lets them go with it. What the
    // history leaves out is not kept either. (On Wayland only contents a
    // capture read are ever kept.)
    void setMayKeep(std::function<bool()> mayKeep) { m_mayKeep = std::move(mayKeep); }
    bool mayKeep() const { return !m_mayKeep || m_mayKeep(); }

    // Reads what a capture needs and hands it to `done` on the main thread,
    // unless `context` is gone by then. A clipboard whose owner may be
    // another program reads without the main thread waiting for it; this
    // one answers at once from the calls above.
    virtual void readContents(QObject* context, std::function<void(ClipboardContents)> done)
    {
        (void)context;
        done(contentsNow());
    }

    // Empties the clipboard and takes ownership; comes before every write.
    virtual void clearContents() = 0;
    bool setString(const QString& text) { return setString(text, {}); }
    // Offers `text` as plain text and, beside it, each of `formats` (its
    // HTML, its RTF) byte for byte.
    virtual bool setString(const QString& text, const QList<ClipboardFormat>& formats) = 0;
    // Offers an image: `encoded`, the bytes it was copied as, at once as
    // they are, and the types most programs paste (PNG, TIFF) made from
    // `image` only off the main thread. False when there is nothing to offer.
    virtual bool setImage(const QImage& image, const std::optional<EncodedImage>& encoded) = 0;
    // Offers every URL of `urls` in the forms file managers paste
    // (fileFormats in ClipboardData.h). False when none is valid.
    virtual bool writeFileURLs(const QList<QUrl>& urls) = 0;

protected:
    // The contents through types() and data(), read in the order every
    // clipboard reads them (readOffered in ClipboardData.h).
    ClipboardContents contentsNow() const;

private:
    qsizetype m_readLimit = kMaxEntryBytes;
    std::function<bool()> m_mayKeep;
};

} // namespace ondrel::platform
