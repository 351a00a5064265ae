#include "ClipboardItem.h"

#include "ClipboardData.h"
#include "Json.h"
#include "LanguageDetector.h"
#include "PrivateFiles.h"
#include "Text.h"
#include "TextSearch.h"

#include <algorithm>
#include <mutex>

namespace ondrel {

struct ClipboardItem::Caches
{
    // A long text, set once at creation: UTF-8 is about a third of the
    // size of the UTF-16 text plus its encoded record, and in the form a
    // save writes as it is.
    std::string quotedText;
    qsizetype textLength = 0;
    QString preview;

    std::optional<text::SearchKey> label; // main thread only
    std::once_flag encodedOnce;
    std::string encoded;
};

namespace {

constexpr qsizetype kPreviewCharacters = 100;

QString previewOf(const QString& label)
{
    const qsizetype end = text::offsetAfterCharacters(label, kPreviewCharacters);
    if (end < 0)
        return label;
    return label.first(end) + QStringLiteral("...");
}

// The last path component: trailing slashes do not count, the root is "/".
QString fileName(const QUrl& url)
{
    QString path = url.path();
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    if (path == u"/")
        return path;
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

} // namespace

ClipboardItem::ClipboardItem() : m_caches(std::make_shared<Caches>()) {}

ClipboardItem::ClipboardItem(QUuid id, ClipboardItemType type, std::optional<QString> text,
                             std::optional<QImage> image, QList<QUrl> fileURLs, Timestamp timestamp,
                             std::optional<QString> appName, std::optional<QImage> appIcon, bool isPinned,
                             DetectedLanguage detectedLanguage)
    : m_id(id), m_type(type), m_text(std::move(text)), m_image(std::move(image)),
      m_fileURLs(std::move(fileURLs)), m_timestamp(timestamp), m_appName(std::move(appName)),
      m_appIcon(std::move(appIcon)), m_isPinned(isPinned), m_detectedLanguage(detectedLanguage),
      m_caches(std::make_shared<Caches>())
{
    if (m_type != ClipboardItemType::text || !m_text || m_text->size() <= kCompactFrom)
        return;
    // Converted a piece at a time: a whole UTF-8 copy of a text of many
    // megabytes would be one more transient copy of it. Pieces never split
    // a surrogate pair.
    std::string& quoted = m_caches->quotedText;
    quoted.reserve(std::size_t(m_text->size()) + std::size_t(m_text->size()) / 8 + 2);
    quoted += '"';
    constexpr qsizetype kPiece = 64 * 1024;
    const QStringView whole(*m_text);
    for (qsizetype at = 0; at < whole.size();) {
        qsizetype end = std::min(at + kPiece, whole.size());
        if (end < whole.size() && whole[end - 1].isHighSurrogate())
            --end;
        const QByteArray utf8 = whole.sliced(at, end - at).toUtf8();
        json::appendEscaped(quoted, std::string_view(utf8.constData(), std::size_t(utf8.size())));
        at = end;
    }
    quoted += '"';
    m_caches->textLength = m_text->size();
    m_caches->preview = previewOf(*m_text);
    m_text.reset();
}

ClipboardItem ClipboardItem::makeText(const QString& text, std::optional<QString> appName,
                                      std::optional<QImage> appIcon, Timestamp timestamp, bool isPinned)
{
    return ClipboardItem(QUuid::createUuid(), ClipboardItemType::text, text, std::nullopt, {}, timestamp,
                         std::move(appName), std::move(appIcon), isPinned, detectLanguage(text));
}

ClipboardItem ClipboardItem::makeImage(const QImage& image, std::optional<QString> appName,
                                       std::optional<QImage> appIcon, Timestamp timestamp,
                                       std::optional<platform::EncodedImage> encoded)
{
    ClipboardItem item(QUuid::createUuid(), ClipboardItemType::image, std::nullopt, image, {}, timestamp,
                       std::move(appName), std::move(appIcon), false, DetectedLanguage::plain);
    item.m_encodedImage = std::move(encoded);
    return item;
}

ClipboardItem ClipboardItem::makeFile(QList<QUrl> fileURLs, std::optional<QString> appName,
                                      std::optional<QImage> appIcon, Timestamp timestamp)
{
    return ClipboardItem(QUuid::createUuid(), ClipboardItemType::file, std::nullopt, std::nullopt,
                         std::move(fileURLs), timestamp, std::move(appName), std::move(appIcon), false,
                         DetectedLanguage::plain);
}

ClipboardItem ClipboardItem::makeTransformed(const QString& text)
{
    return makeText(text, kTransformedAppName);
}

ClipboardItem ClipboardItem::withStoredImage(StoredImage stored, QImage thumbnail) const
{
    ClipboardItem copy = *this;
    copy.m_storedImage = std::make_shared<const StoredImage>(std::move(stored));
    copy.m_image = thumbnail;
    copy.m_thumbnail = std::move(thumbnail);
    copy.m_encodedImage.reset();
    return copy;
}

QImage ClipboardItem::thumbnailOf(const QImage& image)
{
    if (std::min(image.width(), image.height()) <= kThumbnailSide)
        return image;
    return image.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatioByExpanding,
                        Qt::SmoothTransformation);
}

QSize ClipboardItem::imageSize() const
{
    if (m_storedImage)
        return m_storedImage->size;
    return m_image ? m_image->size() : QSize();
}

QString ClipboardItem::imageType() const
{
    if (m_storedImage)
        return m_storedImage->type;
    return m_encodedImage ? m_encodedImage->type : QStringLiteral("image/png");
}

std::optional<platform::EncodedImage> ClipboardItem::imageBytes() const
{
    if (m_storedImage) {
        platform::PrivateRead read = platform::readPrivateFile(m_storedImage->path);
        if (!read.bytes)
            return std::nullopt;
        return platform::EncodedImage{m_storedImage->type, std::move(*read.bytes)};
    }
    if (m_encodedImage)
        return m_encodedImage;
    const QString png = QStringLiteral("image/png");
    QByteArray bytes = m_image && !m_image->isNull() ? platform::encodeImage(*m_image, png) : QByteArray();
    if (bytes.isEmpty())
        return std::nullopt;
    return platform::EncodedImage{png, std::move(bytes)};
}

std::optional<QString> ClipboardItem::text() const
{
    if (m_caches->quotedText.empty())
        return m_text;
    // Written by appendEscaped from valid UTF-8, so it always reads back.
    const std::optional<std::string> utf8 = json::unquote(m_caches->quotedText);
    if (!utf8)
        return QString();
    return platform::decodeUtf8(QByteArrayView(utf8->data(), qsizetype(utf8->size())));
}

qsizetype ClipboardItem::textLength() const
{
    if (!m_caches->quotedText.empty())
        return m_caches->textLength;
    return m_text ? m_text->size() : 0;
}

const std::string* ClipboardItem::quotedText() const
{
    return m_caches->quotedText.empty() ? nullptr : &m_caches->quotedText;
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
        return text().value_or(QString());
    case ClipboardItemType::image:
        return QStringLiteral("Image");
    case ClipboardItemType::file:
        return m_fileURLs.isEmpty() ? QStringLiteral("File") : fileName(m_fileURLs.first());
    }
    return QString();
}

QStringList ClipboardItem::fileNames() const
{
    QStringList names;
    names.reserve(m_fileURLs.size());
    for (const QUrl& url : m_fileURLs)
        names << fileName(url);
    return names;
}

QString ClipboardItem::plainText() const
{
    if (m_type == ClipboardItemType::text)
        return text().value_or(QString());
    QStringList paths;
    for (const QUrl& url : m_fileURLs)
        paths << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    return paths.join(u'\n');
}

QString ClipboardItem::previewText() const
{
    if (!m_caches->quotedText.empty())
        return m_caches->preview;
    const QString preview = previewOf(contentLabel());
    if (m_fileURLs.size() > 1)
        return preview + QStringLiteral(" + %1 more").arg(m_fileURLs.size() - 1);
    return preview;
}

bool ClipboardItem::matches(const text::SearchQuery& query) const
{
    if (!m_caches->quotedText.empty()) {
        // Not kept: the decoded text would undo the compact form.
        if (text::SearchKey(contentLabel()).contains(query))
            return true;
    } else {
        if (!m_caches->label)
            m_caches->label.emplace(contentLabel());
        if (m_caches->label->contains(query))
            return true;
    }
    if (m_fileURLs.size() > 1) {
        const QStringList names = fileNames();
        if (std::any_of(names.begin() + 1, names.end(),
                        [&](const QString& name) { return text::SearchKey(name).contains(query); }))
            return true;
    }
    return m_appName && text::SearchKey(*m_appName).contains(query);
}

} // namespace ondrel
