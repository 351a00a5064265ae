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
    // Not read at all when it is not the size the index says (a huge file
    // put in its place would be read whole).
    const QFileInfo info(path);
    if (info.exists() && info.size() != file.value(u"size").toInteger(-1)) {
        qCWarning(lcHistory).noquote() << "File" << path << "cannot be read; the" << what << "is dropped";
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

} // namespace

QList<ClipboardItem> EntryFiles::load(QList<ClipboardItem> texts, bool tidy, bool mayRemove)
{
    m_onDisk.clear();
    m_indexed.clear();
    m_indexKnown = true;
    if (tidy)
        platform::removePartialWrites(indexPath());
    // Files an index moved aside names stay for whoever wants them back.
    mayRemove = mayRemove && QDir(m_folder)
                                 .entryList({QStringLiteral("entries.json.corrupt-*")},
                                            QDir::AllEntries | QDir::Hidden | QDir::System)
                                 .isEmpty();
    const platform::PrivateRead read = platform::readPrivateFile(indexPath());
    if (read.missing) {
        if (tidy && mayRemove)
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
        // Moved aside with its files kept, as long as it is there: the next
        // save's index would not name them.
        m_indexKnown = false;
        if (tidy)
            platform::moveAside(indexPath());
        return texts;
    }

    // Each text record of the index is paired with its text in history.json:
    // by position when the two files were saved together, else by time and
    // length (a save cut off between them, or an older version's save).
    // history.json's order holds for the texts; an image or file entry goes
    // after the text it followed in the index.
    QHash<double, QList<qsizetype>> byTime;
    for (qsizetype n = 0; n < texts.size(); ++n)
        byTime[texts[n].timestamp().secondsSinceReferenceDate()].append(n);
    std::vector<bool> paired(std::size_t(texts.size()), false);
    const auto pair = [&](qsizetype n, Timestamp at, qsizetype length) -> qsizetype {
        const auto fits = [&](qsizetype i) {
            return i >= 0 && i < texts.size() && !paired[std::size_t(i)] && texts[i].timestamp() == at &&
                   (length < 0 || texts[i].textLength() == length);
        };
        if (fits(n))
            return n;
        for (const qsizetype i : byTime.value(at.secondsSinceReferenceDate()))
            if (fits(i))
                return i;
        return -1;
    };
    QHash<qsizetype, QList<ClipboardItem>> after; // by the text they follow; -1: the front
    qsizetype anchor = -1;
    bool matches = true;
    qsizetype nextText = 0;
    QSet<QUuid> seen;
    QSet<QString> referenced;
    const QJsonArray entries = document.object().value(u"entries").toArray();
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        QUuid id = QUuid::fromString(entry.value(u"id").toString());
        if (seen.contains(id))
            id = QUuid(); // two entries under one id: the second gets its own
        seen.insert(id);
        const Timestamp at = Timestamp::fromSecondsSinceReferenceDate(entry.value(u"timestamp").toDouble());
        const std::optional<QString> app = optionalString(entry.value(u"appName"));
        const bool pinned = entry.value(u"isPinned").toBool();
        if (entry.contains(u"text")) {
            const qsizetype n =
                pair(entry.value(u"text").toInteger(-1), at, entry.value(u"length").toInteger(-1));
            matches = matches && n == nextText++;
            if (n < 0)
                continue; // its text is gone, and its other forms with it
            paired[std::size_t(n)] = true;
            anchor = n;
            ClipboardItem& text = texts[n];
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
            if (!formats.isEmpty())
                text = text.withFormats(std::move(formats));
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
        after[anchor].append(*item);
    }
    if (nextText != texts.size())
        matches = false;
    if (tidy && mayRemove)
        tidyDataFolder(referenced);
    if (!matches)
        qCWarning(lcHistory).noquote()
            << "Entry index" << indexPath() << "does not match" << m_folder + QStringLiteral("/history.json")
            << "(a save was cut off, or another version saved since); images and files are placed after the "
               "texts they followed";
    QList<ClipboardItem> out = after.value(-1);
    for (qsizetype n = 0; n < texts.size(); ++n)
        out << texts[n] << after.value(n);
    for (const ClipboardItem& item : out)
        if (needsIndex(item))
            m_indexed.insert(item.id());
    return out;
}

void EntryFiles::tidyDataFolder(const QSet<QString>& referenced)
{
    const QDir folder(dataFolder());
    // Ours is a folder; through a link, the files would be someone else's.
    if (!folder.exists() || QFileInfo(dataFolder()).isSymLink())
        return;
    for (const QFileInfo& file : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        // Left by a save that was cut off before the index named them.
        if (file.isFile() && !file.isSymLink() && isOurs(file.fileName()) &&
            !referenced.contains(file.fileName()))
            QFile::remove(file.filePath());
    }
}

} // namespace ondrel
