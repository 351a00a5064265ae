#include "HistoryFile.h"

#include "ClipboardData.h"
#include "Json.h"
#include "LanguageDetector.h"
#include "PrivateFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <algorithm>
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
    return SavedItem{platform::decodeUtf8(text->text()), *seconds, std::move(name), isPinned->asBool()};
}

// The members after the text, up to the pin's value.
std::string recordTail(const ClipboardItem& item)
{
    std::string out;
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

// A short entry's record up to its last member: everything but the pin
// never changes, so it is made once per entry.
std::string recordHead(const ClipboardItem& item)
{
    const QString text = item.text().value_or(QString());
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()) * 3 / 2 + 64);
    out += "{\"text\":";
    appendQuoted(out, text);
    out += recordTail(item);
    return out;
}

// The file as byte ranges, nearly all of them pointing into the entries'
// own encoded forms: a save copies bytes and encodes only timestamps.
struct Encoded
{
    std::vector<std::string_view> pieces;
    std::deque<std::string> owned;
    std::size_t size = 0;
    // Each written entry's share of the file, with its place in the list.
    std::vector<std::pair<std::size_t, qsizetype>> records;

    void add(std::string_view piece)
    {
        pieces.push_back(piece);
        size += piece.size();
    }
};

bool isWritten(const ClipboardItem& item)
{
    return item.type() == ClipboardItemType::text && (item.quotedText() || item.text());
}

Encoded encodePieces(const QList<ClipboardItem>& items, const QSet<QUuid>& leaveOut = {})
{
    Encoded out;
    out.pieces.reserve(std::size_t(items.size()) * 2 + 2);
    out.records.reserve(std::size_t(items.size()));
    out.add("[");
    bool first = true;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const ClipboardItem& item = items[i];
        if (!isWritten(item) || leaveOut.contains(item.id()))
            continue;
        const std::size_t start = out.size;
        if (!first)
            out.add(",");
        first = false;
        if (const std::string* quoted = item.quotedText()) {
            out.add("{\"text\":");
            out.add(*quoted);
            out.add(out.owned.emplace_back(recordTail(item)));
        } else {
            out.add(item.encodedOnce(recordHead));
        }
        out.add(item.isPinned() ? "true}" : "false}");
        out.records.emplace_back(out.size - start, i);
    }
    out.add("]");
    return out;
}

// Writes tried, each smaller than the last, before a save gives up.
constexpr int kFittingAttempts = 4;

} // namespace

HistoryFile::HistoryFile(QString folder) : m_folder(folder), m_entries(std::move(folder)) {}

QString HistoryFile::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/ondrel");
}

QString HistoryFile::filePath() const
{
    return m_folder + QStringLiteral("/history.json");
}

bool HistoryFile::folderUsable(QString* reason)
{
    QString error;
    if (platform::ensurePrivateFolder(m_folder, &error)) {
        m_folderRefused = false;
        return true;
    }
    if (!m_folderRefused)
        qCWarning(lcHistory).noquote() << "History folder" << m_folder << "is not used:" << error;
    m_folderRefused = true;
    if (reason)
        *reason = error;
    return false;
}

QList<ClipboardItem> HistoryFile::load()
{
    m_protectExisting = false;
    m_inFile.clear();
    m_writtenShort.reset();
    if (!folderUsable())
        return {};
    QList<ClipboardItem> items = loadTexts(); // an unreadable one is kept, and so are its texts' files
    items = m_entries.load(std::move(items), true, !m_protectExisting);
    written(items, {});
    return items;
}

QList<ClipboardItem> HistoryFile::loadTexts()
{
    platform::removePartialWrites(filePath());
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

HistoryFile::SaveResult HistoryFile::save(const QList<ClipboardItem>& items)
{
    QString error;
    if (!folderUsable(&error))
        return failed(items, error);
    // The index names only files that are there, and history.json's
    // records as they are: a save cut off anywhere leaves what loads.
    QString entriesError;
    QList<ClipboardItem> stored;
    const QSet<QUuid> filesMissing = m_entries.writeBlobs(items, &stored, &entriesError);
    m_textsCurrent = false;
    SaveResult result = saveTexts(items);
    result.stored = std::move(stored);
    if (m_textsCurrent) {
        QString indexError;
        if (!m_entries.writeIndex(items, filesMissing, m_inFile, &indexError) && entriesError.isEmpty())
            entriesError = indexError;
    }
    for (const ClipboardItem& item : items)
        if (EntryFiles::needsIndex(item) && !m_entries.holds(item.id()))
            result.leftOut.insert(item.id());
    if (entriesError.isEmpty()) {
        m_entriesFailed = false;
        return result;
    }
    if (!m_entriesFailed)
        qCWarning(lcHistory).noquote()
            << "Could not save images and other forms to" << m_entries.dataFolder() << ":" << entriesError;
    m_entriesFailed = true;
    if (result.error.isEmpty())
        result.error = entriesError;
    return result;
}

HistoryFile::SaveResult HistoryFile::saveTexts(const QList<ClipboardItem>& items)
{
    QString error;
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
                return failed(items, QStringLiteral("the unreadable history file could not be moved aside"));
            }
            qCWarning(lcHistory).noquote()
                << "History file" << path << "could not be read; moved it to" << *moved;
        }
        m_protectExisting = false;
    }
    const Encoded encoded = encodePieces(items);
    // Still short of room: what does not fit is not written again in vain.
    if (m_lastSaveFailed && m_writtenShort) {
        const std::optional<qint64> room = platform::roomFor(m_folder);
        if (room && qint64(encoded.size) > *room)
            return saveWhatFits(items, m_lastError);
    }
    int code = 0;
    if (!platform::writePrivateFile(path, encoded.pieces, &error, &code)) {
        if (platform::isOutOfRoom(code))
            return saveWhatFits(items, error);
        return failed(items, error);
    }
    written(items, {});
    m_writtenShort.reset();
    if (m_lastSaveFailed)
        qCInfo(lcHistory).noquote() << "History saved again to" << path;
    m_lastSaveFailed = false;
    return {};
}

HistoryFile::SaveResult HistoryFile::saveWhatFits(const QList<ClipboardItem>& items, QString error)
{
    sayFailed(error);
    const Encoded all = encodePieces(items);
    // Entries the file does not hold yet go first, the largest first: what
    // is saved already stays saved while newer entries can wait in memory.
    std::vector<std::pair<std::size_t, qsizetype>> order = all.records;
    std::stable_sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
        const bool aSaved = m_inFile.contains(items[a.second].id());
        const bool bSaved = m_inFile.contains(items[b.second].id());
        return aSaved != bSaved ? bSaved : a.first > b.first;
    });
    const std::optional<qint64> room = platform::roomFor(m_folder);
    qint64 budget = room ? *room : qint64(all.size) / 2;
    for (int attempt = 0; attempt < kFittingAttempts; ++attempt) {
        QSet<QUuid> leftOut;
        qint64 size = qint64(all.size);
        std::vector<std::pair<std::size_t, qsizetype>> dropped;
        for (std::size_t next = 0; next < order.size() && size > budget; ++next) {
            dropped.push_back(order[next]);
            size -= qint64(order[next].first);
        }
        if (size > budget)
            break;
        // Then the smallest of those come back while they fit.
        std::sort(dropped.begin(), dropped.end());
        for (const auto& [recordSize, at] : dropped) {
            if (size + qint64(recordSize) <= budget)
                size += qint64(recordSize);
            else
                leftOut.insert(items[at].id());
        }
        std::vector<std::pair<QUuid, bool>> kept;
        for (const ClipboardItem& item : items)
            if (isWritten(item) && !leftOut.contains(item.id()))
                kept.emplace_back(item.id(), item.isPinned());
        if (kept == m_writtenShort) {
            m_textsCurrent = true;
            return {leftOut, error, {}}; // the file holds these already
        }
        const Encoded fitting = encodePieces(items, leftOut);
        QString reason;
        int code = 0;
        if (platform::writePrivateFile(filePath(), fitting.pieces, &reason, &code)) {
            written(items, leftOut);
            m_writtenShort = std::move(kept);
            return {leftOut, error, {}};
        }
        if (!platform::isOutOfRoom(code))
            return failed(items, reason);
        budget = std::min(budget, qint64(fitting.size)) / 2;
    }
    return failed(items, error);
}

HistoryFile::SaveResult HistoryFile::failed(const QList<ClipboardItem>& items, const QString& error)
{
    sayFailed(error);
    SaveResult result{{}, error, {}};
    for (const ClipboardItem& item : items)
        if ((isWritten(item) && !m_inFile.contains(item.id())) ||
            (EntryFiles::needsIndex(item) && !m_entries.holds(item.id())))
            result.leftOut.insert(item.id());
    return result;
}

void HistoryFile::sayFailed(const QString& error)
{
    // Once per run of failures: a read-only folder would otherwise log every capture.
    if (!m_lastSaveFailed && !m_folderRefused)
        qCWarning(lcHistory).noquote() << "Could not save history to" << filePath() << ":" << error;
    m_lastSaveFailed = true;
    m_lastError = error;
}

void HistoryFile::written(const QList<ClipboardItem>& items, const QSet<QUuid>& leftOut)
{
    m_textsCurrent = true;
    m_inFile.clear();
    for (const ClipboardItem& item : items)
        if (isWritten(item) && !leftOut.contains(item.id()))
            m_inFile.insert(item.id());
}

QByteArray HistoryFile::encode(const QList<ClipboardItem>& items)
{
    const Encoded encoded = encodePieces(items);
    QByteArray out;
    out.reserve(qsizetype(encoded.size));
    for (const std::string_view piece : encoded.pieces)
        out.append(piece.data(), qsizetype(piece.size()));
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
                                   std::nullopt, {}, Timestamp::fromSecondsSinceReferenceDate(s.timestamp),
                                   std::move(s.appName), std::nullopt, s.isPinned, language));
    }
    return items;
}

} // namespace ondrel
