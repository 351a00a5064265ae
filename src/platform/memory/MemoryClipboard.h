#pragma once

#include "Clipboard.h"

#include <QMap>

#include <vector>

namespace ondrel::platform {

// An in-process clipboard with a change counter: the test double of the
// system clipboard, and the clipboard of a headless run.
class MemoryClipboard final : public Clipboard
{
public:
    qint64 changeCount() const override { return m_changeCount; }
    std::optional<QString> string() const override { return m_string; }
    std::optional<QImage> image() const override;
    std::optional<QList<QUrl>> fileURLs() const override { return m_urls; }
    QStringList types() const override;

    void clearContents() override;
    using Clipboard::setString;
    bool setString(const QString& text, const QList<ClipboardFormat>& formats) override;
    bool setImage(const QImage& image, const std::optional<EncodedImage>& encoded) override;
    bool writeFileURLs(const QList<QUrl>& urls) override;

    // Announce changes (as a desktop clipboard does) instead of being polled.
    void setAnnouncesChanges(bool on) { m_announces = on; }
    bool observeChanges(std::function<void()> fn) override
    {
        m_onChange = std::move(fn);
        return m_announces;
    }

    // Refuses every write from now on, as a clipboard no program may own.
    void setRefusesWrites(bool on) { m_refusesWrites = on; }

    // Who offers what follows (another program's id; 0: this one).
    void setOwner(quint64 owner) { m_owner = owner; }
    quint64 owner() const override { return m_owner; }

    // What another program could put on the clipboard.
    void setUrls(const QList<QUrl>& urls);
    void setData(const QString& mimeType, const QByteArray& data);
    // The bytes of every type types() lists, the text and URL list included.
    QByteArray data(const QString& mimeType) const override;

    // Holds reads back until answerRead() (an owner that answers slowly).
    void setDeferredReads(bool on) { m_deferReads = on; }
    void readContents(QObject* context, std::function<void(ClipboardContents)> done) override
    {
        if (!m_deferReads) {
            Clipboard::readContents(context, std::move(done));
            return;
        }
        ++m_readsStarted;
        m_pendingReads.push_back([done = std::move(done), contents = contentsNow()] { done(contents); });
    }
    // Answers the oldest held read with what the clipboard held when it was asked.
    void answerRead()
    {
        auto answer = std::move(m_pendingReads.front());
        m_pendingReads.erase(m_pendingReads.begin());
        answer();
    }
    int pendingReads() const { return int(m_pendingReads.size()); }
    int readsStarted() const { return m_readsStarted; }

private:
    void changed()
    {
        ++m_changeCount;
        if (m_announces && m_onChange)
            m_onChange();
    }

    qint64 m_changeCount = 0;
    quint64 m_owner = 0;
    bool m_announces = false;
    bool m_refusesWrites = false;
    std::function<void()> m_onChange;
    std::optional<QString> m_string;
    std::optional<QList<QUrl>> m_urls;
    QMap<QString, QByteArray> m_data; // raw typed data (images, hints)
    bool m_deferReads = false;
    int m_readsStarted = 0;
    std::vector<std::function<void()>> m_pendingReads;
};

} // namespace ondrel::platform
