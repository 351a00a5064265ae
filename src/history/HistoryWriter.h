#pragma once

#include "ClipboardItem.h"
#include "HistoryFile.h"

#include <QList>

#include <functional>
#include <mutex>
#include <optional>

namespace ondrel {

namespace platform {
class Worker;
}

// Writes the history file on a worker, so that a capture never waits for a
// whole history to be encoded and written. A burst of changes becomes one
// write of the newest list: each save() replaces the list still waiting.
// The lists are copies (cheap: entries share their data).
class HistoryWriter final
{
public:
    // `file` and `worker` must outlive the writer; from now on the file is
    // used on the worker only. `beforeWrite` runs there before each write
    // (tests hold it there).
    HistoryWriter(HistoryFile& file, platform::Worker& worker, std::function<void()> beforeWrite = {});
    // Writes what is still waiting first.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    void save(QList<ClipboardItem> items);
    // `saved` runs on the worker after each write with what it left unsaved.
    void setOnSaved(std::function<void(HistoryFile::SaveResult)> saved);
    // Returns once every list handed over has been written (or failed).
    void flush();
    // How many writes happened; a burst counts once.
    int writeCount() const;

private:
    void writePending();

    HistoryFile& m_file;
    platform::Worker& m_worker;
    std::function<void()> m_beforeWrite;
    std::function<void(HistoryFile::SaveResult)> m_onSaved;
    mutable std::mutex m_mutex;
    std::optional<QList<ClipboardItem>> m_pending;
    int m_writes = 0;
};

} // namespace ondrel
