#include "MemoryClipboard.h"

#include "ClipboardData.h"

namespace ondrel::platform {

namespace {

const QString kTextType = QStringLiteral("text/plain;charset=utf-8");
const QString kUriListType = QStringLiteral("text/uri-list");

} // namespace

std::optional<QImage> MemoryClipboard::image() const
{
    for (auto it = m_data.cbegin(); it != m_data.cend(); ++it) {
        if (!it.key().startsWith(QStringLiteral("image/")))
            continue;
        QImage image = QImage::fromData(it.value());
        if (!image.isNull())
            return image;
    }
    return std::nullopt;
}

QStringList MemoryClipboard::types() const
{
    QStringList types;
    if (m_string)
        types << kTextType;
    if (m_urls)
        types << kUriListType;
    types << m_data.keys();
    return types;
}

QByteArray MemoryClipboard::data(const QString& mimeType) const
{
    if (m_string && mimeType == kTextType)
        return m_string->toUtf8();
    if (m_urls && mimeType == kUriListType) {
        QByteArray list;
        for (const QUrl& url : *m_urls)
            list += url.toEncoded() + "\r\n";
        return list;
    }
    return m_data.value(mimeType);
}

void MemoryClipboard::clearContents()
{
    if (m_refusesWrites)
        return;
    m_owner = 0; // this program writes next
    m_string.reset();
    m_urls.reset();
    m_data.clear();
    changed();
}

bool MemoryClipboard::setString(const QString& text, const QList<ClipboardFormat>& formats)
{
    if (m_refusesWrites)
        return false;
    m_string = text;
    for (const ClipboardFormat& format : formats)
        m_data.insert(format.type, format.bytes);
    changed();
    return true;
}

bool MemoryClipboard::setImage(const QImage& image, const std::optional<EncodedImage>& encoded)
{
    if (image.isNull() || m_refusesWrites)
        return false;
    // The bytes it came in, else PNG: what a desktop clipboard offers first.
    if (encoded && !encoded->bytes.isEmpty())
        m_data.insert(encoded->type, encoded->bytes);
    else
        m_data.insert(QStringLiteral("image/png"), encodeImage(image, QStringLiteral("image/png")));
    changed();
    return true;
}

bool MemoryClipboard::writeFileURLs(const QList<QUrl>& urls)
{
    const QList<ClipboardFormat> formats = fileFormats(urls);
    if (formats.isEmpty() || m_refusesWrites)
        return false;
    // The URL list and the file managers' form; the paths as text are left
    // out so that string() tells a text from files, as the history does.
    m_urls = urls;
    for (const ClipboardFormat& format : formats)
        if (format.type == u"x-special/gnome-copied-files")
            m_data.insert(format.type, format.bytes);
    changed();
    return true;
}

void MemoryClipboard::setUrls(const QList<QUrl>& urls)
{
    m_urls = urls;
    changed();
}

void MemoryClipboard::setData(const QString& mimeType, const QByteArray& data)
{
    m_data.insert(mimeType, data);
    changed();
}

} // namespace ondrel::platform
