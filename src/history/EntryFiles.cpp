#include "EntryFiles.h"

#include "ClipboardData.h"
#include "EntryFileNames.h"
#include "PrivateFiles.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcHistory)

namespace ondrel {

namespace entryfiles {

// Only names of this form are ever made or removed in data/.
static const QString kBlobName = QStringLiteral(
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

QString thumbnailName(const QUuid& id)
{
    return idName(id) + QStringLiteral(".thumb");
}

QString formatName(const QUuid& id, qsizetype at)
{
    return idName(id) + u'-' + QString::number(at);
}
} // namespace entryfiles

using namespace entryfiles;

namespace {

QJsonValue optionalString(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue();
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

QSet<QUuid> EntryFiles::writeBlobs(const QList<ClipboardItem>& items, QList<ClipboardItem>* stored,
                                   QString* error)
{
    QSet<QUuid> failed;
    bool folderReady = false;
    // `needed`: without this file the entry cannot be kept (a thumbnail is
    // made again from its image at the next start).
    const auto write = [&](const ClipboardItem& item, const QString& name, const QByteArray& bytes,
                           bool needed = true) {
        if (m_onDisk.contains(name))
            return;
        QString reason;
        if ((folderReady || platform::ensurePrivateFolder(dataFolder(), &reason)) &&
            platform::writePrivateFile(dataFolder() + u'/' + name, bytes, &reason)) {
            folderReady = true;
            m_onDisk.insert(name, bytes.size());
            return;
        }
        if (needed)
            failed.insert(item.id());
        *error = reason;
    };
    for (const ClipboardItem& item : items) {
        if (item.type() == ClipboardItemType::image) {
            const QString name = imageName(item.id(), item.imageType());
            if (!item.image() || item.image()->isNull()) {
                failed.insert(item.id()); // nothing to keep
                continue;
            }
            if (!m_onDisk.contains(name)) {
                if (const std::optional<platform::EncodedImage> bytes = item.imageBytes())
                    write(item, name, bytes->bytes);
                else
                    failed.insert(item.id());
            }
            const QString thumbName = thumbnailName(item.id());
            std::optional<QImage> thumbnail;
            if (!m_onDisk.contains(thumbName)) {
                thumbnail = ClipboardItem::thumbnailOf(item.thumbnail());
                write(item, thumbName, platform::encodeImage(*thumbnail, QStringLiteral("image/png")), false);
            }
            if (!item.storedImage() && m_onDisk.contains(name))
                stored->append(item.withStoredImage(
                    {dataFolder() + u'/' + name, item.imageType(), item.imageSize()},
                    thumbnail ? *thumbnail : ClipboardItem::thumbnailOf(item.thumbnail())));
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
            // To find the text again when history.json was saved without this index.
            entry.insert(QStringLiteral("length"), item.textLength());
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
                const QString thumbName = thumbnailName(item.id());
                if (m_onDisk.contains(thumbName))
                    entry.insert(QStringLiteral("thumbnail"),
                                 fileRecord(thumbName, m_onDisk.value(thumbName)));
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

} // namespace ondrel
