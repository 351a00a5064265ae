#include "HistoryWriter.h"

#include "HistoryFile.h"
#include "Worker.h"

#include <malloc.h>

namespace ondrel {

HistoryWriter::HistoryWriter(HistoryFile& file, platform::Worker& worker, std::function<void()> beforeWrite)
    : m_file(file), m_worker(worker), m_beforeWrite(std::move(beforeWrite))
{}

HistoryWriter::~HistoryWriter()
{
    flush();
}

void HistoryWriter::save(QList<ClipboardItem> items)
{
    std::lock_guard lock(m_mutex);
    const bool alreadyQueued = m_pending.has_value();
    m_pending = std::move(items);
    if (!alreadyQueued)
        m_worker.post([this] { writePending(); });
}

void HistoryWriter::setOnSaved(std::function<void(HistoryFile::SaveResult)> saved)
{
    m_onSaved = std::move(saved);
}

void HistoryWriter::flush()
{
    m_worker.waitIdle();
}

int HistoryWriter::writeCount() const
{
    std::lock_guard lock(m_mutex);
    return m_writes;
}

void HistoryWriter::writePending()
{
    std::optional<QList<ClipboardItem>> items;
    {
        std::lock_guard lock(m_mutex);
        items.swap(m_pending);
    }
    if (!items)
        return;
    if (m_beforeWrite)
        m_beforeWrite();
    HistoryFile::SaveResult result = m_file.save(*items);
    items.reset(); // the last copies of deleted entries go here, off the GUI thread
    // The encoded file was one large block: give such memory back to the
    // system rather than keep it in this thread's heap.
    ::malloc_trim(0);
    {
        std::lock_guard lock(m_mutex);
        ++m_writes;
    }
    if (m_onSaved)
        m_onSaved(std::move(result));
}

} // namespace ondrel
