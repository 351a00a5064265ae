#include "HistoryService.h"

#include "ClipboardWatcher.h"
#include "EntryPaster.h"
#include "FocusTracker.h"
#include "HistoryStore.h"
#include "PopoverController.h"
#include "PopoverState.h"

namespace ondrel {

HistoryService::HistoryService(Parts parts, QObject* parent) : QObject(parent), m_parts(std::move(parts))
{
    connect(&m_parts.store, &HistoryStore::itemsChanged, this, &HistoryService::historyChanged);
    connect(&m_parts.watcher, &ClipboardWatcher::pausedChanged, this, &HistoryService::pausedChanged);
}

QList<ClipboardItem> HistoryService::entries() const
{
    // A script asking right at start-up sees the whole history, not a part.
    m_parts.store.waitForLoad();
    return PopoverState::ordered(m_parts.store.items());
}

commands::Status HistoryService::status() const
{
    commands::Status status = m_parts.status ? m_parts.status() : commands::Status{};
    status.running = true;
    status.paused = m_parts.watcher.isPaused();
    status.pausedUntil = m_parts.watcher.pausedUntil();
    return status;
}

bool HistoryService::select(const ClipboardItem& item, Written written)
{
    return m_parts.paster.copy(item, std::move(written));
}

bool HistoryService::paste(const ClipboardItem& item, Written written)
{
    // Into the window that has the keyboard now; an open popover closes
    // first and gives it back to the window it took it from.
    if (m_parts.popover.isPopoverShown())
        m_parts.popover.dismiss();
    else
        m_parts.focus.rememberFocus();
    return m_parts.paster.copyAndPaste(item, std::move(written));
}

void HistoryService::readData(const ClipboardItem& item, std::function<void(std::optional<QByteArray>)> done)
{
    // An image is read from disk, or made PNG, on the paster's worker.
    if (item.type() != ClipboardItemType::image)
        return done(commands::entryData(item));
    m_parts.paster.readImage(item, [done = std::move(done)](std::optional<platform::EncodedImage> bytes) {
        done(bytes ? std::optional(std::move(bytes->bytes)) : std::nullopt);
    });
}

bool HistoryService::canPaste() const
{
    return m_parts.paster.canPaste();
}

void HistoryService::remove(const QUuid& id)
{
    m_parts.store.deleteItem(id);
}

void HistoryService::setPinned(const QUuid& id, bool pinned)
{
    const auto& items = m_parts.store.items();
    const auto it =
        std::find_if(items.begin(), items.end(), [&id](const ClipboardItem& i) { return i.id() == id; });
    if (it != items.end() && it->isPinned() != pinned)
        m_parts.store.togglePin(id);
}

HistoryService::Added HistoryService::addText(const QString& text)
{
    m_parts.store.waitForLoad();
    // As a copy would be: the same text as the newest entry is not recorded twice.
    const std::optional<ClipboardItem> front = m_parts.store.frontUnpinnedItem();
    if (front && front->type() == ClipboardItemType::text && front->textLength() == text.size() &&
        front->text() == text)
        return {front->id(), m_parts.paster.copy(*front)};
    const ClipboardItem item = ClipboardItem::makeText(text, ClipboardItem::kTransformedAppName);
    m_parts.store.addItem(item);
    m_parts.store.applyPendingInserts();
    return {item.id(), m_parts.paster.copy(item)};
}

qsizetype HistoryService::entryLimit() const
{
    return m_parts.watcher.entryLimit();
}

void HistoryService::clear(bool withPinned)
{
    m_parts.store.waitForLoad();
    if (withPinned)
        m_parts.store.setItems({});
    else
        m_parts.store.clearUnpinned();
}

void HistoryService::pause(std::optional<std::chrono::seconds> duration)
{
    m_parts.watcher.pause(duration);
}

void HistoryService::resume()
{
    m_parts.watcher.resume();
}

void HistoryService::toggle()
{
    m_parts.popover.togglePopover();
}

bool HistoryService::isPaused() const
{
    return m_parts.watcher.isPaused();
}

qsizetype HistoryService::count() const
{
    m_parts.store.waitForLoad();
    return m_parts.store.items().size();
}

qsizetype HistoryService::countNow() const
{
    return m_parts.store.items().size();
}

std::optional<ClipboardItem> HistoryService::find(const QString& ref) const
{
    return commands::findEntry(entries(), ref);
}

void HistoryService::run(const QStringList& args, const QByteArray& input, commands::Reply reply)
{
    commands::run(args, input, *this, std::move(reply));
}

} // namespace ondrel
