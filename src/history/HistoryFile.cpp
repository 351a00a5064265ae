#include "HistoryFile.h"

#include "ClipboardData.h"
#include "Json.h"
#include "LanguageDetector.h"
#include "PrivateFiles.h"

#include <QDir>
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

    void add(std::string_view piece)
    {
        pieces.push_back(piece);
        size += piece.size();
    }
};

Encoded encodePieces(const QList<ClipboardItem>& items)
{
    Encoded out;
    out.pieces.reserve(std::size_t(items.size()) * 2 + 2);
    out.add("[");
    bool first = true;
    for (const ClipboardItem& item : items) {
        if (item.type() != ClipboardItemType::text)
            continue;
        const std::string* quoted = item.quotedText();
        if (!quoted && !item.text())
            continue;
        if (!first)
            out.add(",");
        first = false;
        if (quoted) {
            out.add("{\"text\":");
            out.add(*quoted);
            out.add(out.owned.emplace_back(recordTail(item)));
        } else {
            out.add(item.encodedOnce(recordHead));
        }
        out.add(item.isPinned() ? "true}" : "false}");
    }
    out.add("]");
    return out;
}

} // namespace

HistoryFile::HistoryFile(QString folder) : m_folder(std::move(folder)) {}

QString HistoryFile::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/ondrel");
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

QList<ClipboardItem> HistoryFile::load()
{
    m_protectExisting = false;
    if (!folderUsable())
        return {};
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
    const Encoded encoded = encodePieces(items);
    if (!platform::writePrivateFile(path, encoded.pieces, &error)) {
        // Once per run of failures: a read-only folder would otherwise log every capture.
        if (!m_lastSaveFailed)
            qCWarning(lcHistory).noquote() << "Could not save history to" << path << ":" << error;
        m_lastSaveFailed = true;
        return false;
    }
    m_lastSaveFailed = false;
    return true;
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
                                   std::nullopt, std::nullopt,
                                   Timestamp::fromSecondsSinceReferenceDate(s.timestamp),
                                   std::move(s.appName), std::nullopt, s.isPinned, language));
    }
    return items;
}

} // namespace ondrel
