#pragma once

#include "Clipboard.h"
#include "ClipboardItemType.h"
#include "DetectedLanguage.h"
#include "Timestamp.h"

#include <QImage>

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <memory>
#include <optional>
#include <string>

namespace ondrel {

namespace text {
class SearchQuery;
}

// One history entry: an immutable record of one copied text, image or file,
// where it came from and when. Only the pinned flag changes after creation.
// Two entries are equal when their ids are equal.
class ClipboardItem final
{
public:
    // The application name given to texts made by editing or transforming an entry.
    static inline const QString kTransformedAppName = QStringLiteral("Ondrel");

    ClipboardItem(); // an empty text entry with a null id (for containers)
    ClipboardItem(QUuid id, ClipboardItemType type, std::optional<QString> text, std::optional<QImage> image,
                  QList<QUrl> fileURLs, Timestamp timestamp, std::optional<QString> appName,
                  std::optional<QImage> appIcon, bool isPinned, DetectedLanguage detectedLanguage);

    // New entries with a fresh id; texts get their language guessed here, once.
    static ClipboardItem makeText(const QString& text, std::optional<QString> appName = std::nullopt,
                                  std::optional<QImage> appIcon = std::nullopt,
                                  Timestamp timestamp = Timestamp::now(), bool isPinned = false);
    // `encoded`: the bytes the image was copied as, offered again as they are.
    static ClipboardItem makeImage(const QImage& image, std::optional<QString> appName = std::nullopt,
                                   std::optional<QImage> appIcon = std::nullopt,
                                   Timestamp timestamp = Timestamp::now(),
                                   std::optional<platform::EncodedImage> encoded = std::nullopt);
    // Every URL of one copy of files, in the order offered.
    static ClipboardItem makeFile(QList<QUrl> fileURLs, std::optional<QString> appName = std::nullopt,
                                  std::optional<QImage> appIcon = std::nullopt,
                                  Timestamp timestamp = Timestamp::now());
    // A text the user made by editing or transforming an entry.
    static ClipboardItem makeTransformed(const QString& text);

    const QUuid& id() const { return m_id; }
    ClipboardItemType type() const { return m_type; }
    // The text of a text entry. A long text is held as compact UTF-8 and
    // decoded here on every call: keep the result rather than ask again.
    std::optional<QString> text() const;
    // The text's length in UTF-16 units without decoding it; 0 without text.
    qsizetype textLength() const;
    // A long text as a JSON string literal (UTF-8, quoted, escaped the
    // history file's way), the form it is held in; null for a short text,
    // which is held decoded.
    const std::string* quotedText() const;
    // An image entry's picture: the whole image while it is new, a
    // thumbnail once it is stored (see storedImage()).
    const std::optional<QImage>& image() const { return m_image; }
    const std::optional<platform::EncodedImage>& encodedImage() const { return m_encodedImage; }
    // Where a saved image entry's bytes are: the entry then keeps only a
    // thumbnail in memory, at least kThumbnailSide pixels on its shorter side.
    struct StoredImage
    {
        QString path;
        QString type;
        QSize size;
    };
    const std::shared_ptr<const StoredImage>& storedImage() const { return m_storedImage; }
    ClipboardItem withStoredImage(StoredImage stored, QImage thumbnail) const;
    static constexpr int kThumbnailSide = 64;
    static QImage thumbnailOf(const QImage& image);
    // What a row shows of an image entry: its thumbnail once made, else the
    // image itself. Scaling a large picture down takes tens of
    // milliseconds: withThumbnail() makes it, off the GUI thread.
    QImage thumbnail() const { return m_thumbnail.isNull() ? m_image.value_or(QImage()) : m_thumbnail; }
    bool hasThumbnail() const { return !m_thumbnail.isNull(); }
    ClipboardItem withThumbnail() const
    {
        ClipboardItem copy = *this;
        copy.m_thumbnail = m_image ? thumbnailOf(*m_image) : QImage();
        return copy;
    }
    // The image's pixel size and type as copied (image/png when not known).
    QSize imageSize() const;
    QString imageType() const;
    // The image as copied (PNG when it came without its bytes); read from
    // disk for a stored one, so not on the GUI thread. None when unreadable.
    std::optional<platform::EncodedImage> imageBytes() const;
    // The files of a file entry, at least one; empty for other entries.
    const QList<QUrl>& fileURLs() const { return m_fileURLs; }
    Timestamp timestamp() const { return m_timestamp; }
    const std::optional<QString>& appName() const { return m_appName; }
    const std::optional<QImage>& appIcon() const { return m_appIcon; }
    bool isPinned() const { return m_isPinned; }
    DetectedLanguage detectedLanguage() const { return m_detectedLanguage; }
    // Recorded from text selected with the mouse rather than copied; not
    // kept in the history file (after a restart it is a text like any other).
    bool fromSelection() const { return m_fromSelection; }

    // A text entry's other forms as its program offered them (its HTML, its
    // RTF), offered again beside the text when it is copied out. The text
    // stays what the entry shows, searches and transforms.
    const QList<platform::ClipboardFormat>& formats() const { return m_formats; }
    ClipboardItem withFormats(QList<platform::ClipboardFormat> formats) const
    {
        ClipboardItem copy = *this;
        copy.m_formats = std::move(formats);
        return copy;
    }

    void setPinned(bool pinned) { m_isPinned = pinned; }
    // The same entry under the id it had before (a history read back).
    ClipboardItem withId(QUuid id) const
    {
        ClipboardItem copy = *this;
        copy.m_id = id;
        return copy;
    }
    // The same entry with its language guessed, sharing everything else
    // (a long text's compact form is not made again).
    ClipboardItem withDetectedLanguage(DetectedLanguage language) const
    {
        ClipboardItem copy = *this;
        copy.m_detectedLanguage = language;
        return copy;
    }
    // The same entry, marked as recorded from a mouse selection.
    ClipboardItem markedFromSelection() const
    {
        ClipboardItem copy = *this;
        copy.m_fromSelection = true;
        return copy;
    }

    // Texts longer than this many UTF-16 units are held compactly.
    static constexpr qsizetype kCompactFrom = 4096;

    // What the entry shows: the text, "Image", or the first file's name.
    QString contentLabel() const;
    // The name of each file of a file entry.
    QStringList fileNames() const;
    // What an entry reads as text: its text, or the paths of its files (the
    // URL of what is not a local file), one per line; empty for an image.
    QString plainText() const;
    // The label cut to 100 characters, with "..." when it was longer, and
    // "+ N more" after the first of several files.
    QString previewText() const;
    // Whether the label (any file's name), or failing that the application
    // name, contains the query.
    bool matches(const text::SearchQuery& query) const;
    // What `build` makes of this entry, made once and shared by its copies:
    // the history file keeps each entry's encoded form here, so a save
    // copies bytes instead of encoding every text again. Safe from any
    // thread; `build` must depend only on what never changes (not the pin).
    const std::string& encodedOnce(std::string (*build)(const ClipboardItem&)) const;

    friend bool operator==(const ClipboardItem& a, const ClipboardItem& b) { return a.m_id == b.m_id; }

private:
    struct Caches;

    QUuid m_id;
    ClipboardItemType m_type = ClipboardItemType::text;
    std::optional<QString> m_text; // a short text; a long one is in m_caches
    std::optional<QImage> m_image;
    QImage m_thumbnail;
    std::optional<platform::EncodedImage> m_encodedImage; // shares the bytes it was read in
    std::shared_ptr<const StoredImage> m_storedImage;
    QList<QUrl> m_fileURLs;
    QList<platform::ClipboardFormat> m_formats;
    Timestamp m_timestamp;
    std::optional<QString> m_appName;
    std::optional<QImage> m_appIcon;
    bool m_isPinned = false;
    DetectedLanguage m_detectedLanguage = DetectedLanguage::plain;
    bool m_fromSelection = false;
    // A long text's compact form, the prepared search form of the label and
    // the encoded form, shared by copies.
    std::shared_ptr<Caches> m_caches;
};

} // namespace ondrel

Q_DECLARE_METATYPE(ondrel::ClipboardItem)
