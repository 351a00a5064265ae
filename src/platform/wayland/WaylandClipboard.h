#pragma once

#include "Pasteboard.h"
#include "WaylandClipboard.h"

#include <QObject>

namespace ondrel::platform {

// The clipboard of a Wayland session through data control. The change
// counter moves on every new selection the compositor announces (ours
// too); reads go through the clipboard's own thread. The synchronous
// calls answer from the last contents read, and from what we wrote since.
class WaylandPasteboard final : public QObject, public Pasteboard
{
    Q_OBJECT
public:
    explicit WaylandPasteboard(std::unique_ptr<WaylandClipboard> clipboard, QObject* parent = nullptr);
    ~WaylandPasteboard() override;

    qint64 changeCount() const override { return m_changeCount; }
    bool observeChanges(std::function<void()> fn) override
    {
        m_onChange = std::move(fn);
        return true;
    }
    std::optional<QString> string() const override { return m_last.text; }
    std::optional<QImage> image() const override { return m_last.image; }
    std::optional<QList<QUrl>> fileURLs() const override { return m_last.fileURLs; }
    QStringList types() const override { return m_last.types; }
    QByteArray data(const QString& mimeType) const override;
    void readContents(QObject* context, std::function<void(PasteboardContents)> done) override;

    void clearContents() override;
    bool setString(const QString& text) override;
    bool setImageData(const QByteArray& tiff) override;
    bool writeFileURL(const QUrl& url) override;

private:
    void publish();

    std::unique_ptr<WaylandClipboard> m_clipboard;
    qint64 m_changeCount = 0;
    std::function<void()> m_onChange;
    PasteboardContents m_last;            // as last read, or as we last wrote it
    WaylandClipboard::Contents m_pending; // what we offer
};

} // namespace ondrel::platform
