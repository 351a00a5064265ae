#pragma once

#include "ClipboardItem.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

namespace ondrel {

// What history.json cannot hold, kept beside it: entries.json, the whole
// order of the history front first (a text as a reference to its record in
// history.json, an image or a file entry in full), and the folder data/ with
// one file per image (its bytes as copied) and per extra format of a text.
// history.json stays what older versions read and write; they ignore these.
// Used on the history file's worker only.
class EntryFiles final
{
public:
    explicit EntryFiles(QString folder);

    QString indexPath() const;
    QString dataFolder() const;

    // The history: `texts` (history.json's entries, in its order) with the
    // entries the index adds. When the index's references match `texts`,
    // the order is the index's, ids included; else the texts keep their
    // order and the others go in by time. An entry whose file is missing or
    // unreadable is dropped (said once each). `tidy` (the program's own
    // load): also removes files of ours in data/ that the index does not
    // name, and cut-off writes, and makes thumbnails; without it nothing is
    // changed and an image's header alone is read (a script's read).
    // `mayRemove` false keeps every file (history.json could not be read).
    QList<ClipboardItem> load(QList<ClipboardItem> texts, bool tidy, bool mayRemove = true);

    // Writes the files of `items` not written yet, each atomically. Returns
    // the entries whose files could not all be written (the reason in
    // `error`); `stored` receives the image entries now on disk that still
    // held their whole image, as they are once stored.
    QSet<QUuid> writeBlobs(const QList<ClipboardItem>& items, QList<ClipboardItem>* stored, QString* error);
    // Replaces the index with `items` less `leaveOut`; `textsInFile` are the
    // texts history.json holds now, in the order of `items`. Then removes
    // the files the index no longer names.
    bool writeIndex(const QList<ClipboardItem>& items, const QSet<QUuid>& leaveOut,
                    const QSet<QUuid>& textsInFile, QString* error);
    // Whether the index on disk holds the entry (with all its files).
    bool holds(const QUuid& id) const { return m_indexed.contains(id); }
    // Whether an entry needs the index to be kept whole.
    static bool needsIndex(const ClipboardItem& item);

private:
    void removeUnreferenced(const QSet<QString>& referenced);
    void tidyDataFolder(const QSet<QString>& referenced);

    QString m_folder;
    QHash<QString, qint64> m_onDisk; // files in data/ written or named by the index, with their sizes
    QSet<QUuid> m_indexed;           // entries the index on disk holds
    bool m_indexKnown = true;        // false while an unreadable index stays in place
};

} // namespace ondrel
