#pragma once

#include "Clipboard.h"
#include "Worker.h"
#include "X11ClipboardReader.h"

#include <QAbstractNativeEventFilter>
#include <QMimeData>
#include <QObject>
#include <QPointer>

#include <xcb/xcb.h>

#include <memory>

class QClipboard;
class QMimeData;

namespace ondrel::platform {

// The CLIPBOARD selection through QClipboard. The change counter moves on
// every change Qt reports (XFixes selection events) and on each of our own
// writes, so a poll reads one integer and never talks to the X server.
// What other programs own is read by an X11ClipboardReader, never by the
// main thread; the synchronous calls serve our own contents and tests.
class X11Clipboard final : public QObject, public Clipboard, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    explicit X11Clipboard(QClipboard* clipboard, QObject* parent = nullptr,
                          X11ClipboardReader::Budgets budgets = {});
    ~X11Clipboard() override;

    qint64 changeCount() const override { return m_changeCount; }
    // The X server tells of every new owner (XFixes): no polling needed.
    bool observeChanges(std::function<void()> fn) override
    {
        m_onChange = std::move(fn);
        return true;
    }
    std::optional<QString> string() const override;
    std::optional<QImage> image() const override;
    std::optional<QList<QUrl>> fileURLs() const override;
    QStringList types() const override;
    QByteArray data(const QString& mimeType) const override;
    void readContents(QObject* context, std::function<void(ClipboardContents)> done) override;
    // Every type the clipboard offers with its data, read the same way.
    void readAll(QObject* context, std::function<void(X11ClipboardReader::AllData)> done);

    void clearContents() override;
    using Clipboard::setString;
    bool setString(const QString& text, const QList<ClipboardFormat>& formats) override;
    bool setImage(const QImage& image, const std::optional<EncodedImage>& encoded) override;
    bool writeFileURLs(const QList<QUrl>& urls) override;

    // Takes over contents whose owner is going away: the clipboard now holds
    // the same thing from us, so the change counter does not move.
    void adopt(QMimeData* data);

    // Notes an owner quitting without a successor (XFixes).
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void changed();
    std::function<void()> m_onChange;
    const QMimeData* current() const;
    // An image we offer: its mime data (the clipboard owns it), what it
    // holds as a read gives it, and the types being made for it.
    struct OwnImage
    {
        QPointer<QMimeData> data;
        ClipboardContents contents;
        std::shared_ptr<void> made;
    };
    void publish(QMimeData* data, OwnImage own = {});

    QClipboard* m_clipboard;
    qint64 m_changeCount = 0;
    bool m_adopting = false;
    uint8_t m_selectionNotify = 0; // XFixes' selection event, 0 when unknown
    xcb_atom_t m_clipboardAtom = XCB_ATOM_NONE;
    bool m_ownerLeft = false; // since the last read began
    std::unique_ptr<X11ClipboardReader> m_reader;
    Worker m_encoder{"ondrel-encode"}; // the image types a copy-out offers
    OwnImage m_ownImage;
};

} // namespace ondrel::platform
