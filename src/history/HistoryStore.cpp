#include "HistoryStore.h"

#include "HistoryFile.h"
#include "HistoryWriter.h"
#include "Scheduler.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "Worker.h"

#include <QPointer>

#include <algorithm>

#include <malloc.h>

namespace ondrel {

namespace {

qsizetype indexOf(const QList<ClipboardItem>& items, const QUuid& id)
{
    const auto it =
        std::find_if(items.cbegin(), items.cend(), [&](const ClipboardItem& i) { return i.id() == id; });
    return it == items.cend() ? -1 : qsizetype(it - items.cbegin());
}

} // namespace

HistoryStore::HistoryStore(Services services, QObject* parent) : QObject(parent), m_services(services)
{
    if (!m_services.historyFile)
        return;
    m_loading = true;
    m_file = std::make_unique<platform::Worker>("ondrel-history");
    // Loading and then every save run on this worker, one after the other.
    m_writer = std::make_unique<HistoryWriter>(*m_services.historyFile, *m_file);
    m_writer->setOnSaved([this, guard = QPointer<QObject>(this)](HistoryFile::SaveResult result) {
        m_file->toGui(guard, [this, result = std::move(result)] { saved(result); });
    });
    HistoryFile* file = m_services.historyFile;
    m_file->post([this, file] {
        m_loaded = file->load(); // parsing and guessing languages: seconds for a huge file
        // The parsed file was freed in this thread's own heap, which keeps
        // such memory unless told to give it back.
        ::malloc_trim(0);
        m_file->toGui(this, [this] { finishLoad(); });
    });
}

HistoryStore::~HistoryStore()
{
    // A load still running writes into this object: let it end, and what
    // is waiting be written, before any member goes.
    m_writer.reset();
    m_file.reset();
}

void HistoryStore::waitForLoad()
{
    if (m_loading)
        m_file->waitIdle();
    finishLoad();
}

void HistoryStore::finishLoad()
{
    if (!m_loading)
        return; // already merged (a wait came before the queued call)
    m_loading = false;
    QList<ClipboardItem> loaded = std::move(m_loaded);
    m_loaded.clear();
    if (m_replacedWhileLoading)
        loaded.clear();
    else if (m_clearedWhileLoading)
        loaded.removeIf([](const ClipboardItem& i) { return !i.isPinned(); });
    if (!loaded.isEmpty()) {
        // Captures made meanwhile are newer than anything in the file.
        QList<ClipboardItem> items = m_items;
        items.append(loaded);
        publish(items);
        applyHistoryLimit();
    }
    if (m_saveWanted)
        saveHistory();
}

void HistoryStore::waitForSaves()
{
    waitForLoad();
    if (m_writer)
        m_writer->flush();
}

void HistoryStore::setItems(const QList<ClipboardItem>& items)
{
    // A whole new list: what the file held is not brought back afterwards.
    if (m_loading)
        m_replacedWhileLoading = true;
    publish(items);
}

void HistoryStore::publish(const QList<ClipboardItem>& items)
{
    m_items = items;
    Q_EMIT itemsChanged();
}

void HistoryStore::insertAtFront(const ClipboardItem& item, bool capped)
{
    m_inserts.append({item, capped});
    if (m_inserts.size() == 1)
        m_services.scheduler.post(this, [this] { applyPendingInserts(); });
}

void HistoryStore::applyPendingInserts()
{
    if (m_inserts.isEmpty())
        return;
    const QList<Insert> inserts = std::exchange(m_inserts, {});
    for (const Insert& insert : inserts) {
        QList<ClipboardItem> items = m_items;
        items.prepend(insert.item);
        publish(items);
        if (insert.capped)
            applyHistoryLimit();
    }
    saveHistory();
}

void HistoryStore::addItem(const ClipboardItem& item)
{
    insertAtFront(item, true);
}

void HistoryStore::addTransformedItem(const ClipboardItem& item)
{
    insertAtFront(item, false);
}

void HistoryStore::togglePin(const QUuid& id)
{
    const qsizetype at = indexOf(m_items, id);
    if (at < 0)
        return;
    QList<ClipboardItem> items = m_items;
    items[at].setPinned(!items[at].isPinned());
    publish(items);
    saveHistory();
}

void HistoryStore::deleteItem(const QUuid& id)
{
    QList<ClipboardItem> items = m_items;
    items.removeIf([&](const ClipboardItem& i) { return i.id() == id; });
    publish(items);
    saveHistory();
}

void HistoryStore::clearUnpinned()
{
    if (m_loading)
        m_clearedWhileLoading = true;
    QList<ClipboardItem> items = m_items;
    items.removeIf([](const ClipboardItem& i) { return !i.isPinned(); });
    publish(items);
    saveHistory();
}

void HistoryStore::moveToFront(const QUuid& id)
{
    const qsizetype at = indexOf(m_items, id);
    if (at < 0 || m_items[at].isPinned())
        return;
    QList<ClipboardItem> items = m_items;
    items.move(at, 0);
    publish(items);
}

std::optional<ClipboardItem> HistoryStore::frontUnpinnedItem() const
{
    const auto front =
        std::find_if(m_items.cbegin(), m_items.cend(), [](const ClipboardItem& i) { return !i.isPinned(); });
    if (front == m_items.cend())
        return std::nullopt;
    return *front;
}

qsizetype HistoryStore::historyLimit() const
{
    // Anything that reads as no number counts as unset.
    const qint64 stored = m_services.settings.integer(keys::maxHistoryItems);
    return static_cast<qsizetype>(stored != 0 ? stored
                                              : keys::defaultValue(keys::maxHistoryItems).toLongLong());
}

void HistoryStore::applyHistoryLimit()
{
    const qsizetype limit = historyLimit();
    if (m_items.size() <= limit)
        return;
    QList<ClipboardItem> pinned;
    QList<ClipboardItem> unpinned;
    for (const ClipboardItem& item : m_items)
        (item.isPinned() ? pinned : unpinned).append(item);
    // More pinned entries than the cap, or a negative cap: every pinned
    // entry stays and no unpinned one does.
    const qsizetype keep = std::clamp<qsizetype>(limit - pinned.size(), 0, unpinned.size());
    pinned.append(unpinned.first(keep));
    publish(pinned);
}

void HistoryStore::saveHistory()
{
    if (m_loading) {
        m_saveWanted = true; // written with the loaded entries
        return;
    }
    if (m_writer)
        m_writer->save(m_items);
}

void HistoryStore::saved(const HistoryFile::SaveResult& result)
{
    if (!result.stored.isEmpty()) {
        // Saved images keep only their thumbnails in memory; their pins
        // may have changed meanwhile, and some may be gone.
        QList<ClipboardItem> items = m_items;
        bool replaced = false;
        for (const ClipboardItem& stored : result.stored) {
            const qsizetype at = indexOf(items, stored.id());
            if (at < 0 || items[at].storedImage())
                continue;
            const bool pinned = items[at].isPinned();
            items[at] = stored;
            items[at].setPinned(pinned);
            replaced = true;
        }
        if (replaced)
            publish(items);
    }
    if (result.error != m_saveError || result.leftOut != m_unsaved) {
        m_saveError = result.error;
        m_unsaved = result.leftOut;
        Q_EMIT saveStatusChanged();
    }
    if (result) {
        m_retryDelay = kSaveRetrySeconds;
        return;
    }
    // Room may come back (a file deleted elsewhere, a quota raised): try
    // again, less often the longer it fails. One retry waits at a time.
    if (m_retryScheduled)
        return;
    m_retryScheduled = true;
    m_services.scheduler.postAfter(m_retryDelay, this, [this] {
        m_retryScheduled = false;
        saveHistory();
    });
    m_retryDelay = std::min(m_retryDelay * 2, kSaveRetryLongestSeconds);
}

QString HistoryStore::saveProblem() const
{
    // System messages start with a capital, as a sentence of their own.
    QString why = m_saveError;
    if (why.size() > 1 && why[0].isUpper() && why[1].isLower())
        why[0] = why[0].toLower();
    return why;
}

QString HistoryStore::notSavedText() const
{
    return m_saveError.isEmpty() ? QString() : tr("History not saved: %1").arg(saveProblem());
}

} // namespace ondrel
