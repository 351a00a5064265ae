#pragma once

#include "ClipboardItem.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

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

    // The stored entries with fresh ids and guessed languages; empty when the
    // file is missing or cannot be read or decoded.
    QList<ClipboardItem> load();
    // Writes every text entry of `items`, atomically; false when it could not.
    bool save(const QList<ClipboardItem>& items);

    static QByteArray encode(const QList<ClipboardItem>& items);
    static std::optional<QList<ClipboardItem>> decode(QByteArrayView bytes);

private:
    // Makes the folder private; false (said once) when it cannot be used.
    bool folderUsable();

    QString m_folder;
    bool m_folderRefused = false;
    bool m_protectExisting = false; // the file on disk failed to load
    bool m_lastSaveFailed = false;
};

} // namespace ondrel
