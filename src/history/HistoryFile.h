#pragma once

#include "ClipboardItem.h"
#include "EntryFiles.h"

#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

#include <optional>
#include <utility>
#include <vector>

namespace ondrel {

// history.json: the text entries of the history, front first, as a compact
// JSON array of {"text","timestamp","appName"?,"isPinned"} records.
// Loading is all or nothing. A file that exists but cannot be loaded is
// moved aside (history.json.corrupt-<time>) before the first save replaces it;
// so is one that is a symbolic link or belongs to another user. The folder is
// kept private (0700) and not used at all when another user owns it.
class HistoryFile final
{
public:
    explicit HistoryFile(QString folder = defaultFolder());

    // $XDG_DATA_HOME/ondrel (usually ~/.local/share/ondrel).
    static QString defaultFolder();
    const QString& folder() const { return m_folder; }
    QString filePath() const;

    // The stored entries with guessed languages: history.json's texts (with
    // fresh ids unless the index names them) and what the index beside it
    // adds (see EntryFiles); no texts when the file is missing or cannot be
    // read or decoded.
    QList<ClipboardItem> load();
    struct SaveResult
    {
        // Entries that are not on disk as the files now are.
        QSet<QUuid> leftOut;
        // Why not every entry is saved; empty when every one is.
        QString error;
        // Image entries saved now, as they are once stored (a thumbnail in
        // memory, their bytes on disk), to take the place of those in memory.
        QList<ClipboardItem> stored;
        explicit operator bool() const { return error.isEmpty(); }
    };
    // Writes every entry of `items`, atomically: the files of images and
    // other forms, then the texts, then the index. When the disk has no
    // room for all of them, writes what fits, leaving out the largest
    // entries first; when nothing can be written, the old file stays.
    SaveResult save(const QList<ClipboardItem>& items);

    static QByteArray encode(const QList<ClipboardItem>& items);
    static std::optional<QList<ClipboardItem>> decode(QByteArrayView bytes);

private:
    QList<ClipboardItem> loadTexts();
    SaveResult saveTexts(const QList<ClipboardItem>& items);
    // Makes the folder private; false (said once, the reason in `reason`)
    // when it cannot be used.
    bool folderUsable(QString* reason = nullptr);
    // Writes `items` less the largest entries, as many as need to go for
    // the rest to fit in the room there is.
    SaveResult saveWhatFits(const QList<ClipboardItem>& items, QString error);
    SaveResult failed(const QList<ClipboardItem>& items, const QString& error);
    void written(const QList<ClipboardItem>& items, const QSet<QUuid>& leftOut);
    void sayFailed(const QString& error);

    QString m_folder;
    EntryFiles m_entries;
    bool m_textsCurrent = false; // the last save left history.json matching its list
    bool m_entriesFailed = false;
    bool m_folderRefused = false;
    bool m_protectExisting = false; // the file on disk failed to load
    bool m_lastSaveFailed = false;
    QString m_lastError;
    QSet<QUuid> m_inFile; // the entries the file on disk holds, as far as known
    // What the last save that left entries out wrote, to write it only once.
    std::optional<std::vector<std::pair<QUuid, bool>>> m_writtenShort;
};

} // namespace ondrel
