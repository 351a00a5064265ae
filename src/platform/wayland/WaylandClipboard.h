#pragma once

#include "Clipboard.h"
#include "DataControlConnection.h"
#include "PrimarySelection.h"

#include <QObject>

namespace ondrel::platform {

// The clipboard of a Wayland session through data control. The change
// counter moves on every new selection the compositor announces (ours
// too); reads go through the clipboard's own thread. The synchronous
// calls answer from the last contents read, and from what we wrote since.
class WaylandClipboard final : public QObject, public Clipboard
{
    Q_OBJECT
public:
    explicit WaylandClipboard(std::unique_ptr<DataControlConnection> clipboard, QObject* parent = nullptr);
    ~WaylandClipboard() override;

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
    void readContents(QObject* context, std::function<void(ClipboardContents)> done) override;

    void clearContents() override;
    using Clipboard::setString;
    bool setString(const QString& text, const QList<ClipboardFormat>& formats) override;
    bool setImage(const QImage& image, const std::optional<EncodedImage>& encoded) override;
    bool writeFileURLs(const QList<QUrl>& urls) override;

private:
    void publish(DataControlConnection::Maker make = {});

    std::unique_ptr<DataControlConnection> m_clipboard;
    qint64 m_changeCount = 0;
    std::function<void()> m_onChange;
    ClipboardContents m_last;                  // as last read, or as we last wrote it
    DataControlConnection::Contents m_pending; // what we offer
};

// The primary selection of a Wayland session, through the clipboard's data
// control connection (which must outlive it): its changes as the
// compositor announces them, its text read on that connection's thread.
class WaylandPrimarySelection final : public QObject, public PrimarySelection
{
    Q_OBJECT
public:
    explicit WaylandPrimarySelection(DataControlConnection& connection, QObject* parent = nullptr);
    ~WaylandPrimarySelection() override;

    void observeChanges(std::function<void()> fn) override;
    void readText(QObject* context, qsizetype limit, std::function<void(ClipboardContents)> done) override;

private:
    DataControlConnection& m_connection;
};

} // namespace ondrel::platform
