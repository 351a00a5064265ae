#pragma once

#include "ClipboardItem.h"

#include <QList>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace ondrel {

class HistoryFile;

// Writes the history file on a thread of its own, so that a capture never
// waits for a whole history to be encoded and written. A burst of changes
// becomes one write of the newest list: each save() replaces the list still
// waiting. The lists are copies (cheap: entries share their data).
class HistoryWriter final
{
public:
    // `file` must outlive the writer and is used by its thread only from now
    // on. `beforeWrite` runs on that thread before each write (tests hold it there).
    explicit HistoryWriter(HistoryFile& file, std::function<void()> beforeWrite = {});
    // Writes what is still waiting first.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    void save(QList<ClipboardItem> items);
    // Returns once every list handed over has been written (or failed).
    void flush();
    // How many writes happened; a burst counts once.
    int writeCount() const;

private:
    void run();

    HistoryFile& m_file;
    std::function<void()> m_beforeWrite;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::optional<QList<ClipboardItem>> m_pending;
    bool m_writing = false;
    bool m_stopping = false;
    int m_writes = 0;
    std::thread m_thread;
};

} // namespace ondrel
