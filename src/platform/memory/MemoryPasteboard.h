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

    // What another program could put on the clipboard.
    void setUrls(const QList<QUrl>& urls);
    void setData(const QString& mimeType, const QByteArray& data);
    QByteArray data(const QString& mimeType) const override { return m_data.value(mimeType); }

private:
    void changed() { ++m_changeCount; }

    qint64 m_changeCount = 0;
    std::optional<QString> m_string;
    std::optional<QList<QUrl>> m_urls;
    QMap<QString, QByteArray> m_data; // raw typed data (images, hints)
};

} // namespace ondrel::platform
