#include "HistoryWriter.h"

#include "HistoryFile.h"

#include <malloc.h>

namespace ondrel {

HistoryWriter::HistoryWriter(HistoryFile& file, std::function<void()> beforeWrite)
    : m_file(file), m_beforeWrite(std::move(beforeWrite))
{}

HistoryWriter::~HistoryWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void HistoryWriter::save(QList<ClipboardItem> items)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = std::move(items);
        // Started with the first save: a history that never changes needs no thread.
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    m_wake.notify_one();
}

void HistoryWriter::flush()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_pending && !m_writing; });
}

int HistoryWriter::writeCount() const
{
    std::lock_guard lock(m_mutex);
    return m_writes;
}

void HistoryWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_pending; });
        if (!m_pending)
            return; // stopping with nothing left to write
        QList<ClipboardItem> items = std::move(*m_pending);
        m_pending.reset();
        m_writing = true;
        lock.unlock();
        if (m_beforeWrite)
            m_beforeWrite();
        m_file.save(items);
        items.clear(); // the last copies of deleted entries go here, off the main thread
        // The encoded file was one large block: give such memory back to
        // the system rather than keep it in this thread's heap.
        ::malloc_trim(0);
        lock.lock();
        m_writing = false;
        ++m_writes;
        m_idle.notify_all();
    }
}

} // namespace ondrel
