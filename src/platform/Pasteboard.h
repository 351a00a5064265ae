#pragma once

#include <functional>

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace ondrel::platform {

// The system clipboard. All calls come from the main thread.
class Pasteboard
{
public:
    virtual ~Pasteboard() = default;

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

    // Empties the clipboard and takes ownership; comes before every write.
    virtual void clearContents() = 0;
    virtual bool setString(const QString& text) = 0;
    // `tiff` is the image's TIFF data.
    virtual bool setImageData(const QByteArray& tiff) = 0;
    virtual bool writeFileURL(const QUrl& url) = 0;
};

} // namespace ondrel::platform
