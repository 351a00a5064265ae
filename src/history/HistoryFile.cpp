#include "HistoryFile.h"

#include "Json.h"
#include "LanguageDetector.h"
#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cmath>
#include <deque>

Q_LOGGING_CATEGORY(lcHistory, "ondrel.history")

namespace ondrel {

namespace {

struct SavedItem
{
    QString text;
    double timestamp = 0;
    std::optional<QString> appName;
    bool isPinned = false;
};

void appendQuoted(std::string& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    json::appendQuoted(out, std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::optional<SavedItem> decodeRecord(const json::Value& record)
{
    if (!record.isObject())
        return std::nullopt;
    const json::Value* text = record.member("text");
    const json::Value* timestamp = record.member("timestamp");
    const json::Value* isPinned = record.member("isPinned");
    const json::Value* appName = record.member("appName");
    if (!text || !text->isString() || !timestamp || !isPinned || !isPinned->isBool())
        return std::nullopt;
    const std::optional<double> seconds = timestamp->toDouble();
    if (!seconds)
        return std::nullopt;
    std::optional<QString> name;
    if (appName && !appName->isNull()) {
        if (!appName->isString())
            return std::nullopt;
        name = QString::fromStdString(appName->text());
    }
    return SavedItem{QString::fromStdString(text->text()), *seconds, std::move(name), isPinned->asBool()};
}

} // namespace

HistoryFile::HistoryFile(QString folder) : m_folder(std::move(folder)) {}

QString HistoryFile::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Brisol");
}

QString HistoryFile::filePath() const
{
    return m_folder + QStringLiteral("/history.json");
}

bool HistoryFile::folderUsable()
{
    QString error;
    if (platform::ensurePrivateFolder(m_folder, &error)) {
        m_folderRefused = false;
        return true;
    }
    if (!m_folderRefused)
        qCWarning(lcHistory).noquote() << "History folder" << m_folder << "is not used:" << error;
    m_folderRefused = true;
    return false;
}

void HistoryFile::removeLeftovers()
{
    // A save that was cut off between linking its new file and renaming it
    // leaves a whole copy of the history under a temporary name.
    static const QRegularExpression temporary(QStringLiteral("^history\\.json\\.[A-Za-z0-9]{6}$"));
    const QDir folder(m_folder);
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!entry.isSymLink() && temporary.match(entry.fileName()).hasMatch())
            QFile::remove(entry.filePath());
    }
}

QList<ClipboardItem> HistoryFile::load()
{
    m_protectExisting = false;
    if (!folderUsable())
        return {};
    removeLeftovers();
    const QString path = filePath();
    const platform::PrivateRead read = platform::readPrivateFile(path);
    if (read.missing)
        return {};
    if (!read.bytes) {
        qCWarning(lcHistory).noquote() << "History file" << path << "is not loaded:" << read.error;
        m_protectExisting = true;
        return {};
    }
    auto items = decode(*read.bytes);
    if (!items) {
        // An empty file holds nothing worth keeping.
        m_protectExisting = !read.bytes->isEmpty();
        return {};
    }
    return std::move(*items);
}

bool HistoryFile::save(const QList<ClipboardItem>& items)
{
    if (!folderUsable())
        return false;
    const QString path = filePath();
    if (m_protectExisting) {
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink()) {
            const auto moved = platform::moveAside(path);
            if (!moved) {
                if (!m_lastSaveFailed)
                    qCWarning(lcHistory).noquote()
                        << "History file" << path << "could not be read or moved aside; not saving over it";
                m_lastSaveFailed = true;
                return false;
            }
            qCWarning(lcHistory).noquote()
                << "History file" << path << "could not be read; moved it to" << *moved;
        }
        m_protectExisting = false;
    }
    QString error;
    if (!platform::writePrivateFile(path, encode(items), &error)) {
        // Once per run of failures: a read-only folder would otherwise log every capture.
        if (!m_lastSaveFailed)
            qCWarning(lcHistory).noquote() << "Could not save history to" << path << ":" << error;
        m_lastSaveFailed = true;
        return false;
    }
    m_lastSaveFailed = false;
    return true;
}

namespace {

// A record up to its last member: everything but the pin never changes.
std::string recordHead(const ClipboardItem& item)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(item.text()->size()) * 3 / 2 + 64);
    out += "{\"text\":";
    appendQuoted(out, *item.text());
    const double seconds = item.timestamp().secondsSinceReferenceDate();
    out += ",\"timestamp\":";
    out += json::formatDouble(std::isfinite(seconds) ? seconds : 0.0);
    if (item.appName()) {
        out += ",\"appName\":";
        appendQuoted(out, *item.appName());
    }
    out += ",\"isPinned\":";
    return out;
}

} // namespace

QByteArray HistoryFile::encode(const QList<ClipboardItem>& items)
{
    // Small entries keep their record (a save is then mostly a copy); a
    // large one is encoded again each time rather than held twice in memory.
    constexpr qsizetype kCachedUpTo = 64 * 1024;
    std::vector<const std::string*> heads;
    std::deque<std::string> uncached;
    heads.reserve(static_cast<std::size_t>(items.size()));
    qsizetype size = 2;
    for (const ClipboardItem& item : items) {
        if (item.type() != ClipboardItemType::text || !item.text()) {
            heads.push_back(nullptr);
            continue;
        }
        if (item.text()->size() <= kCachedUpTo) {
            heads.push_back(&item.encodedOnce(recordHead));
        } else {
            uncached.push_back(recordHead(item));
            heads.push_back(&uncached.back());
        }
        size += qsizetype(heads.back()->size()) + 7;
    }
    QByteArray out;
    out.reserve(size);
    out += '[';
    bool first = true;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const std::string* head = heads[std::size_t(i)];
        if (!head)
            continue;
        if (!first)
            out += ',';
        first = false;
        out.append(head->data(), qsizetype(head->size()));
        out += items[i].isPinned() ? "true}" : "false}";
    }
    out += ']';
    return out;
}

std::optional<QList<ClipboardItem>> HistoryFile::decode(QByteArrayView bytes)
{
    const auto root = json::parse(std::string_view(bytes.data(), static_cast<std::size_t>(bytes.size())));
    if (!root || !root->isArray())
        return std::nullopt;
    // Every record is checked before any language is guessed: one bad record
    // rejects the whole file, and should do so quickly.
    std::vector<SavedItem> saved;
    saved.reserve(root->items().size());
    for (const json::Value& record : root->items()) {
        auto item = decodeRecord(record);
        if (!item)
            return std::nullopt;
        saved.push_back(std::move(*item));
    }
    QList<ClipboardItem> items;
    items.reserve(static_cast<qsizetype>(saved.size()));
    for (SavedItem& s : saved) {
        const DetectedLanguage language = detectLanguage(s.text);
        items.append(ClipboardItem(QUuid::createUuid(), ClipboardItemType::text, std::move(s.text),
                                   std::nullopt, std::nullopt,
                                   Timestamp::fromSecondsSinceReferenceDate(s.timestamp),
                                   std::move(s.appName), std::nullopt, s.isPinned, language));
    }
    return items;
}

} // namespace ondrel
