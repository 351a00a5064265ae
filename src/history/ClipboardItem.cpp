#include "ClipboardItem.h"

#include "LanguageDetector.h"
#include "Text.h"
#include "TextSearch.h"

#include <QBuffer>
#include <QImageWriter>

#include <mutex>

namespace ondrel {

struct ClipboardItem::Caches
{
    std::optional<text::SearchKey> label; // main thread only
    std::once_flag encodedOnce;
    std::string encoded;
};

namespace {
constexpr qsizetype kPreviewCharacters = 100;
}

ClipboardItem::ClipboardItem() : m_caches(std::make_shared<Caches>()) {}

ClipboardItem::ClipboardItem(QUuid id, ClipboardItemType type, std::optional<QString> text,
                             std::optional<QImage> image, std::optional<QUrl> fileURL, Timestamp timestamp,
                             std::optional<QString> appName, std::optional<QImage> appIcon, bool isPinned,
                             DetectedLanguage detectedLanguage)
    : m_id(id), m_type(type), m_text(std::move(text)), m_image(std::move(image)),
      m_fileURL(std::move(fileURL)), m_timestamp(timestamp), m_appName(std::move(appName)),
      m_appIcon(std::move(appIcon)), m_isPinned(isPinned), m_detectedLanguage(detectedLanguage),
      m_caches(std::make_shared<Caches>())
{}

ClipboardItem ClipboardItem::makeText(const QString& text, std::optional<QString> appName,
                                      std::optional<QImage> appIcon, Timestamp timestamp, bool isPinned)
{
    return ClipboardItem(QUuid::createUuid(), ClipboardItemType::text, text, std::nullopt, std::nullopt,
                         timestamp, std::move(appName), std::move(appIcon), isPinned, detectLanguage(text));
}

ClipboardItem ClipboardItem::makeImage(const QImage& image, std::optional<QString> appName,
                                       std::optional<QImage> appIcon, Timestamp timestamp)
{
    return ClipboardItem(QUuid::createUuid(), ClipboardItemType::image, std::nullopt, image, std::nullopt,
                         timestamp, std::move(appName), std::move(appIcon), false, DetectedLanguage::plain);
}

ClipboardItem ClipboardItem::makeFile(const QUrl& fileURL, std::optional<QString> appName,
                                      std::optional<QImage> appIcon, Timestamp timestamp)
{
    return ClipboardItem(QUuid::createUuid(), ClipboardItemType::file, std::nullopt, std::nullopt, fileURL,
                         timestamp, std::move(appName), std::move(appIcon), false, DetectedLanguage::plain);
}

ClipboardItem ClipboardItem::makeTransformed(const QString& text)
{
    return makeText(text, kTransformedAppName);
}

const std::string& ClipboardItem::encodedOnce(std::string (*build)(const ClipboardItem&)) const
{
    std::call_once(m_caches->encodedOnce, [&] { m_caches->encoded = build(*this); });
    return m_caches->encoded;
}

QString ClipboardItem::contentLabel() const
{
    switch (m_type) {
    case ClipboardItemType::text:
        return m_text.value_or(QString());
    case ClipboardItemType::image:
        return QStringLiteral("Image");
    case ClipboardItemType::file: {
        if (!m_fileURL)
            return QStringLiteral("File");
        // The last path component: trailing slashes do not count, the root is "/".
        QString path = m_fileURL->path();
        while (path.size() > 1 && path.endsWith(u'/'))
            path.chop(1);
        if (path == u"/")
            return path;
        return path.sliced(path.lastIndexOf(u'/') + 1);
    }
    }
    return QString();
}

QString ClipboardItem::previewText() const
{
    const QString label = contentLabel();
    const qsizetype end = text::offsetAfterCharacters(label, kPreviewCharacters);
    if (end < 0)
        return label;
    return label.first(end) + QStringLiteral("...");
}

QByteArray ClipboardItem::tiffRepresentation() const
{
    if (!m_image || m_image->isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    if (!writer.write(*m_image))
        return {};
    return bytes;
}

bool ClipboardItem::matches(const text::SearchQuery& query) const
{
    if (!m_caches->label)
        m_caches->label.emplace(contentLabel());
    if (m_caches->label->contains(query))
        return true;
    return m_appName && text::SearchKey(*m_appName).contains(query);
}

} // namespace ondrel
