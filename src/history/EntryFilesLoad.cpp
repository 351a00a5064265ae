#include "EntryFiles.h"

#include "EntryFileNames.h"
#include "PrivateFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcHistory)

namespace ondrel {

using namespace entryfiles;

namespace {

std::optional<QString> optionalString(const QJsonValue& value)
{
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

// A file named by the index, read whole; none (said once) when it is gone
// or not what the index says it is.
std::optional<QByteArray> readBlob(const QString& folder, const QJsonObject& file, const QString& what)
{
    const QString path = folder + u'/' + file.value(u"file").toString();
    if (!isOurs(file.value(u"file").toString())) {
        qCWarning(lcHistory).noquote()
            << "Entry index names" << path << "which is not ours; the" << what << "is dropped";
        return std::nullopt;
    }
    platform::PrivateRead read = platform::readPrivateFile(path);
    if (read.missing) {
        qCWarning(lcHistory).noquote() << "File" << path << "is missing; the" << what << "is dropped";
        return std::nullopt;
    }
    if (!read.bytes || read.bytes->size() != file.value(u"size").toInteger(-1)) {
        qCWarning(lcHistory).noquote() << "File" << path << "cannot be read; the" << what << "is dropped";
        return std::nullopt;
    }
    return std::move(read.bytes);
}

struct LoadedImage
{
    ClipboardItem::StoredImage stored;
    QImage thumbnail;
    bool thumbnailFile = false; // the thumbnail came from its file
};

// An image the index names, without reading it whole: it is there, as
// large as written, and its header reads. The thumbnail comes from its own
// file, or failing that is made again from the image.
std::optional<LoadedImage> loadImage(const QString& folder, const QJsonObject& file,
                                     const QJsonObject& thumbnail, bool withThumbnail)
{
    const QString name = file.value(u"file").toString();
    const QString path = folder + u'/' + name;
    const QFileInfo info(path);
    const char* problem = nullptr;
    if (!isOurs(name))
        problem = "is not ours;";
    else if (!info.exists() && !info.isSymLink())
        problem = "is missing;";
    else if (info.isSymLink() || !info.isFile() || info.size() != file.value(u"size").toInteger(-1))
        problem = "cannot be read;";
    QImageReader reader(path);
    LoadedImage loaded{{path, file.value(u"type").toString(), problem ? QSize() : reader.size()}, {}, false};
    if (!problem && !loaded.stored.size.isValid())
        problem = "cannot be read;";
    if (!problem && withThumbnail) {
        const QString thumbName = thumbnail.value(u"file").toString();
        if (isOurs(thumbName) && thumbName != name) {
            const platform::PrivateRead read = platform::readPrivateFile(folder + u'/' + thumbName);
            if (read.bytes && read.bytes->size() == thumbnail.value(u"size").toInteger(-1))
                loaded.thumbnail = QImage::fromData(*read.bytes);
        }
        loaded.thumbnailFile = !loaded.thumbnail.isNull();
        if (!loaded.thumbnailFile)
            loaded.thumbnail = ClipboardItem::thumbnailOf(reader.read());
        if (loaded.thumbnail.isNull())
            problem = "cannot be read;";
    }
    if (!problem)
        return loaded;
    qCWarning(lcHistory).noquote() << "File" << path << problem << "the image entry is dropped";
    return std::nullopt;
}

// Two lists, each in its own order, into one by time (newest first).
QList<ClipboardItem> mergedByTime(const QList<ClipboardItem>& texts, QList<ClipboardItem> others)
{
    std::stable_sort(others.begin(), others.end(), [](const ClipboardItem& a, const ClipboardItem& b) {
        return a.timestamp() > b.timestamp();
    });
    QList<ClipboardItem> out;
    out.reserve(texts.size() + others.size());
    auto text = texts.cbegin();
    auto other = others.cbegin();
    while (text != texts.cend() || other != others.cend()) {
        if (other != others.cend() && (text == texts.cend() || other->timestamp() > text->timestamp()))
            out.append(*other++);
        else
            out.append(*text++);
    }
    return out;
}

} // namespace

QList<ClipboardItem> EntryFiles::load(QList<ClipboardItem> texts, bool tidy)
{
    m_onDisk.clear();
    m_indexed.clear();
    m_indexKnown = true;
    if (tidy)
        platform::removePartialWrites(indexPath());
    const platform::PrivateRead read = platform::readPrivateFile(indexPath());
    if (read.missing) {
        if (tidy)
            tidyDataFolder({});
        return texts;
    }
    QJsonParseError parsed{};
    const QJsonDocument document =
        read.bytes ? QJsonDocument::fromJson(*read.bytes, &parsed) : QJsonDocument();
    if (!document.isObject()) {
        qCWarning(lcHistory).noquote()
            << "Entry index" << indexPath()
            << "is not loaded:" << (read.bytes ? parsed.errorString() : read.error);
        // Its files stay until an index that can be read says what they are.
        m_indexKnown = false;
        if (tidy && read.bytes)
            platform::moveAside(indexPath());
        return texts;
    }

    QList<ClipboardItem> order;  // the index's order
    QList<ClipboardItem> others; // what history.json does not hold
    bool matches = true;
    qsizetype nextText = 0;
    QSet<QString> referenced;
    QSet<QString> otherFiles; // those of `others`
    const QJsonArray entries = document.object().value(u"entries").toArray();
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        const QUuid id = QUuid::fromString(entry.value(u"id").toString());
        const Timestamp at = Timestamp::fromSecondsSinceReferenceDate(entry.value(u"timestamp").toDouble());
        const std::optional<QString> app = optionalString(entry.value(u"appName"));
        const bool pinned = entry.value(u"isPinned").toBool();
        if (entry.contains(u"text")) {
            const qsizetype n = entry.value(u"text").toInteger(-1);
            if (n != nextText++ || n >= texts.size() || texts[n].timestamp() != at) {
                matches = false;
                continue;
            }
            ClipboardItem text = texts[n];
            if (!id.isNull())
                text = text.withId(id);
            QList<platform::ClipboardFormat> formats;
            const QJsonArray saved = entry.value(u"formats").toArray();
            for (const QJsonValue& format : saved) {
                const QJsonObject file = format.toObject();
                const QString type = file.value(u"type").toString();
                if (auto bytes = readBlob(dataFolder(), file, type + QStringLiteral(" form of a text"))) {
                    formats.append({type, std::move(*bytes)});
                    referenced.insert(file.value(u"file").toString());
                    m_onDisk.insert(file.value(u"file").toString(), file.value(u"size").toInteger());
                }
            }
            order.append(formats.isEmpty() ? text : text.withFormats(std::move(formats)));
            continue;
        }
        std::optional<ClipboardItem> item;
        if (entry.contains(u"image")) {
            const QJsonObject file = entry.value(u"image").toObject();
            const QJsonObject thumbnail = entry.value(u"thumbnail").toObject();
            if (std::optional<LoadedImage> image = loadImage(dataFolder(), file, thumbnail, tidy)) {
                for (const QJsonObject* used : {&file, &thumbnail}) {
                    if (used == &thumbnail && !image->thumbnailFile)
                        break;
                    const QString name = used->value(u"file").toString();
                    referenced.insert(name);
                    otherFiles.insert(name);
                    m_onDisk.insert(name, used->value(u"size").toInteger());
                }
                item = ClipboardItem::makeImage(QImage(), app, std::nullopt, at)
                           .withStoredImage(std::move(image->stored), std::move(image->thumbnail));
            }
        } else if (entry.contains(u"urls")) {
            QList<QUrl> urls;
            for (const QJsonValue& url : entry.value(u"urls").toArray())
                urls.append(QUrl(url.toString()));
            if (!urls.isEmpty())
                item = ClipboardItem::makeFile(std::move(urls), app, std::nullopt, at);
        }
        if (!item)
            continue;
        if (!id.isNull())
            item = item->withId(id);
        item->setPinned(pinned);
        order.append(*item);
        others.append(*item);
    }
    if (nextText != texts.size())
        matches = false;

    if (tidy)
        tidyDataFolder(referenced);
    QList<ClipboardItem> out;
    if (matches) {
        out = std::move(order);
    } else {
        qCWarning(lcHistory).noquote()
            << "Entry index" << indexPath() << "does not match" << m_folder + QStringLiteral("/history.json")
            << "(a save was cut off, or another version saved since); entries are put in order by time";
        // The texts' other forms cannot be matched to their texts safely: they go.
        if (tidy)
            removeUnreferenced(otherFiles);
        out = mergedByTime(texts, others);
    }
    for (const ClipboardItem& item : out)
        if (needsIndex(item))
            m_indexed.insert(item.id());
    return out;
}

void EntryFiles::tidyDataFolder(const QSet<QString>& referenced)
{
    const QDir folder(dataFolder());
    if (!folder.exists())
        return;
    for (const QFileInfo& file : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        // Left by a save that was cut off before the index named them.
        if (file.isFile() && !file.isSymLink() && isOurs(file.fileName()) &&
            !referenced.contains(file.fileName()))
            QFile::remove(file.filePath());
    }
}

} // namespace ondrel
