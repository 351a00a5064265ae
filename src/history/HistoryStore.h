#pragma once

#include "ClipboardItem.h"
#include "HistoryFile.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QUuid>

#include <memory>

namespace ondrel {

namespace platform {
class Scheduler;
class Settings;
class Worker;
} // namespace platform

class HistoryWriter;

// The entries themselves: newest first, capped, pinned ones kept; every
// lasting change is handed to the history file's worker at once.
class HistoryStore final : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        platform::Settings& settings;
        platform::Scheduler& scheduler;
        HistoryFile* historyFile = nullptr; // none: the history is not kept across runs
    };

    // Starts loading the history file on a worker thread: captures made
    // meanwhile are shown at once and stay in front of the loaded entries,
    // and nothing is written before the file has been read.
    explicit HistoryStore(Services services, QObject* parent = nullptr);
    // Finishes the last write.
    ~HistoryStore() override;

    // Returns once the history file has been read and merged.
    void waitForLoad();
    // Returns once every change so far is in the history file.
    void waitForSaves();

    const QList<ClipboardItem>& items() const { return m_items; }
    void setItems(const QList<ClipboardItem>& items);

    // Inserts a captured entry at the front after the current task, applies
    // the cap, saves.
    void addItem(const ClipboardItem& item);
    // Inserts an edited or transformed text at the front after the current task, saves.
    void addTransformedItem(const ClipboardItem& item);
    // Inserts now what addItem() and addTransformedItem() left for after the
    // current task: at quit there is no after.
    void applyPendingInserts();
    void togglePin(const QUuid& id);
    void deleteItem(const QUuid& id);
    // Keeps the pinned entries only.
    void clearUnpinned();
    // Moves an unpinned entry to the front (a pinned one stays where it is).
    // Not saved: the next lasting change carries the new order.
    void moveToFront(const QUuid& id);
    // Drops the unpinned entries furthest from the front beyond the
    // "maxHistoryItems" cap (50 when unset); pinned entries always stay.
    void applyHistoryLimit();
    // The front-most unpinned entry.
    std::optional<ClipboardItem> frontUnpinnedItem() const;

    // While the history file cannot take every entry, the ones it does not
    // hold (they live in memory only) and why; saving is tried again by
    // itself, sooner after a change.
    bool isSaved(const QUuid& id) const { return !m_unsaved.contains(id); }
    // Why saving fails, to go mid-sentence ("no space left on device");
    // nothing while it works.
    QString saveProblem() const;
    // "History not saved: <why>", or nothing while saving works.
    QString notSavedText() const;
    // The first retry after a failed save, and the longest wait between two.
    static constexpr double kSaveRetrySeconds = 2;
    static constexpr double kSaveRetryLongestSeconds = 8;

Q_SIGNALS:
    void itemsChanged();
    void saveStatusChanged();

private:
    void insertAtFront(const ClipboardItem& item, bool capped);
    void finishLoad();
    void publish(const QList<ClipboardItem>& items);
    void saveHistory();
    void saved(const HistoryFile::SaveResult& result);
    qsizetype historyLimit() const;

    Services m_services;
    QList<ClipboardItem> m_items;
    std::unique_ptr<platform::Worker> m_file; // before the writer: it outlives it
    std::unique_ptr<HistoryWriter> m_writer;
    bool m_loading = false;
    QList<ClipboardItem> m_loaded; // written on the worker before the load is handed over
    bool m_clearedWhileLoading = false;
    bool m_replacedWhileLoading = false;
    bool m_saveWanted = false;
    struct Insert
    {
        ClipboardItem item;
        bool capped = true;
    };
    QList<Insert> m_inserts; // in the order they came
    QSet<QUuid> m_unsaved;
    QString m_saveError;
    bool m_retryScheduled = false;
    double m_retryDelay = kSaveRetrySeconds;
};

} // namespace ondrel
