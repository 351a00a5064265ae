#pragma once

#include "Pasteboard.h"

#include <QMap>

namespace ondrel::platform {

// An in-process clipboard with a change counter: the test double of the
// system clipboard, and the clipboard of a headless run.
class MemoryPasteboard final : public Pasteboard
{
public:
    qint64 changeCount() const override { return m_changeCount; }
    std::optional<QString> string() const override { return m_string; }
    std::optional<QImage> image() const override;
    std::optional<QList<QUrl>> fileURLs() const override { return m_urls; }
    QStringList types() const override;

    void clearContents() override;
    bool setString(const QString& text) override;
    bool setImageData(const QByteArray& tiff) override;
    bool writeFileURL(const QUrl& url) override;

    // Announce changes (as a desktop clipboard does) instead of being polled.
    void setAnnouncesChanges(bool on) { m_announces = on; }
    bool observeChanges(std::function<void()> fn) override
    {
        m_onChange = std::move(fn);
        return m_announces;
    }

    // What another program could put on the clipboard.
    void setUrls(const QList<QUrl>& urls);
    void setData(const QString& mimeType, const QByteArray& data);
    QByteArray data(const QString& mimeType) const override { return m_data.value(mimeType); }

private:
    void changed()
    {
        ++m_changeCount;
        if (m_announces && m_onChange)
            m_onChange();
    }

    qint64 m_changeCount = 0;
    bool m_announces = false;
    std::function<void()> m_onChange;
    std::optional<QString> m_string;
    std::optional<QList<QUrl>> m_urls;
    QMap<QString, QByteArray> m_data; // raw typed data (images, hints)
};

} // namespace ondrel::platform
