#include "EntryFiles.h"

#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcHistory)

namespace ondrel {

namespace {

// Only names of this form are ever made or removed in data/.
const QString kBlobName = QStringLiteral(
    "[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}(\\.[a-z0-9]{1,8}|-[0-9]{1,4})");

bool isOurs(const QString& name)
{
    static const QRegularExpression blob(u'^' + kBlobName + u'$');
    // What writePrivateFile leaves behind when it is cut off.
    static const QRegularExpression partial(QStringLiteral("^\\.") + kBlobName +
                                            QStringLiteral("\\.ondrel-partial-.{6}$"));
    return blob.match(name).hasMatch() || partial.match(name).hasMatch();
}

QString idName(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces);
}

QString imageName(const QUuid& id, const QString& type)
{
    QString suffix = type.section(u'/', 1).toLower();
    suffix.removeIf([](QChar c) { return !(c.isDigit() || (c >= u'a' && c <= u'z')); });
    if (suffix.isEmpty())
        suffix = QStringLiteral("img");
    return idName(id) + u'.' + suffix.left(8);
}

QString formatName(const QUuid& id, qsizetype at)
{
    return idName(id) + u'-' + QString::number(at);
}

QJsonValue optionalString(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue();
}

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

EntryFiles::EntryFiles(QString folder) : m_folder(std::move(folder)) {}

QString EntryFiles::indexPath() const
{
    return m_folder + QStringLiteral("/entries.json");
}

QString EntryFiles::dataFolder() const
{
    return m_folder + QStringLiteral("/data");
}

bool EntryFiles::needsIndex(const ClipboardItem& item)
{
    return item.type() != ClipboardItemType::text || !item.formats().isEmpty();
}

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

    QList<ClipboardItem> order;  // the index's order; texts are placeholders
    QList<qsizetype> textAt;     // per entry of `order`: its record in history.json, or -1
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
            textAt.append(n);
            continue;
        }
        std::optional<ClipboardItem> item;
        if (entry.contains(u"image")) {
            const QJsonObject file = entry.value(u"image").toObject();
            if (auto bytes = readBlob(dataFolder(), file, QStringLiteral("image entry"))) {
                QImage image = QImage::fromData(*bytes);
                if (image.isNull()) {
                    qCWarning(lcHistory).noquote()
                        << "File" << dataFolder() + u'/' + file.value(u"file").toString()
                        << "cannot be read; the image entry is dropped";
                } else {
                    // Only a thumbnail stays: the bytes are read again when the image is copied out.
                    ClipboardItem::StoredImage stored{dataFolder() + u'/' + file.value(u"file").toString(),
                                                      file.value(u"type").toString(), image.size()};
                    item = ClipboardItem::makeImage(QImage(), app, std::nullopt, at)
                               .withStoredImage(std::move(stored), ClipboardItem::thumbnailOf(image));
                    referenced.insert(file.value(u"file").toString());
                    otherFiles.insert(file.value(u"file").toString());
                    m_onDisk.insert(file.value(u"file").toString(), file.value(u"size").toInteger());
                }
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
        textAt.append(-1);
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
            << "(a save was cut off); entries are put in order by time";
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

QSet<QUuid> EntryFiles::writeBlobs(const QList<ClipboardItem>& items, QList<ClipboardItem>* stored,
                                   QString* error)
{
    QSet<QUuid> failed;
    bool folderReady = false;
    const auto write = [&](const ClipboardItem& item, const QString& name, const QByteArray& bytes) {
        if (m_onDisk.contains(name))
            return;
        QString reason;
        if (!folderReady && !platform::ensurePrivateFolder(dataFolder(), &reason)) {
            failed.insert(item.id());
            *error = reason;
            return;
        }
        folderReady = true;
        if (platform::writePrivateFile(dataFolder() + u'/' + name, bytes, &reason))
            m_onDisk.insert(name, bytes.size());
        else {
            failed.insert(item.id());
            *error = reason;
        }
    };
    for (const ClipboardItem& item : items) {
        if (item.type() == ClipboardItemType::image) {
            const QString name = imageName(item.id(), item.imageType());
            if (!m_onDisk.contains(name)) {
                const std::optional<platform::EncodedImage> bytes = item.imageBytes();
                write(item, name, bytes ? bytes->bytes : QByteArray());
            }
            if (!item.storedImage() && m_onDisk.contains(name) && item.image())
                stored->append(
                    item.withStoredImage({dataFolder() + u'/' + name, item.imageType(), item.imageSize()},
                                         ClipboardItem::thumbnailOf(*item.image())));
        }
        for (qsizetype n = 0; n < item.formats().size(); ++n)
            write(item, formatName(item.id(), n), item.formats()[n].bytes);
    }
    return failed;
}

bool EntryFiles::writeIndex(const QList<ClipboardItem>& items, const QSet<QUuid>& leaveOut,
                            const QSet<QUuid>& textsInFile, QString* error)
{
    if (!m_indexKnown && std::none_of(items.cbegin(), items.cend(), needsIndex))
        return true; // the unreadable index stays for whoever wants to look at it
    QJsonArray entries;
    QSet<QString> referenced;
    QSet<QUuid> indexed;
    qsizetype textAt = 0;
    bool anyNeeded = false;
    const auto fileRecord = [&](const QString& name, qint64 size) {
        referenced.insert(name);
        return QJsonObject{{QStringLiteral("file"), name}, {QStringLiteral("size"), size}};
    };
    for (const ClipboardItem& item : items) {
        QJsonObject entry{{QStringLiteral("id"), idName(item.id())},
                          {QStringLiteral("timestamp"), item.timestamp().secondsSinceReferenceDate()}};
        if (item.type() == ClipboardItemType::text) {
            if (!textsInFile.contains(item.id()))
                continue;
            entry.insert(QStringLiteral("text"), textAt++);
            QJsonArray formats;
            for (qsizetype n = 0; n < item.formats().size(); ++n) {
                const QString name = formatName(item.id(), n);
                if (!m_onDisk.contains(name))
                    continue;
                QJsonObject file = fileRecord(name, item.formats()[n].bytes.size());
                file.insert(QStringLiteral("type"), item.formats()[n].type);
                formats.append(file);
            }
            if (!formats.isEmpty())
                entry.insert(QStringLiteral("formats"), formats);
        } else {
            if (leaveOut.contains(item.id()))
                continue;
            entry.insert(QStringLiteral("appName"), optionalString(item.appName()));
            entry.insert(QStringLiteral("isPinned"), item.isPinned());
            if (item.type() == ClipboardItemType::image) {
                const QString name = imageName(item.id(), item.imageType());
                QJsonObject file = fileRecord(name, m_onDisk.value(name));
                file.insert(QStringLiteral("type"), item.imageType());
                entry.insert(QStringLiteral("image"), file);
                const QSize pixels = item.imageSize();
                entry.insert(QStringLiteral("width"), pixels.width());
                entry.insert(QStringLiteral("height"), pixels.height());
            } else {
                QJsonArray urls;
                for (const QUrl& url : item.fileURLs())
                    urls.append(url.toString(QUrl::FullyEncoded));
                entry.insert(QStringLiteral("urls"), urls);
            }
        }
        if (needsIndex(item) && !leaveOut.contains(item.id())) {
            anyNeeded = true;
            indexed.insert(item.id());
        }
        entries.append(entry);
    }
    if (!anyNeeded) {
        // Texts alone: history.json holds all of it, as older versions wrote it.
        if (QFile::exists(indexPath()) && !QFile::remove(indexPath())) {
            *error = QStringLiteral("could not remove ") + indexPath();
            return false;
        }
    } else {
        const QByteArray bytes =
            QJsonDocument(QJsonObject{{QStringLiteral("version"), 1}, {QStringLiteral("entries"), entries}})
                .toJson(QJsonDocument::Compact);
        if (!platform::writePrivateFile(indexPath(), bytes, error))
            return false;
    }
    m_indexKnown = true;
    m_indexed = std::move(indexed);
    removeUnreferenced(referenced);
    return true;
}

void EntryFiles::removeUnreferenced(const QSet<QString>& referenced)
{
    for (auto it = m_onDisk.begin(); it != m_onDisk.end();) {
        if (referenced.contains(it.key())) {
            ++it;
            continue;
        }
        QFile::remove(dataFolder() + u'/' + it.key());
        it = m_onDisk.erase(it);
    }
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
