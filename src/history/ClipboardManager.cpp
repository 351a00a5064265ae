#include "ClipboardManager.h"

#include "Clipboard.h"
#include "ClipboardWatcher.h"
#include "HistoryStore.h"
#include "PasteTyper.h"
#include "PopoverState.h"
#include "Scheduler.h"

namespace ondrel {

ClipboardManager::ClipboardManager(Services services, QObject* parent)
    : QObject(parent), m_services(services),
      m_store(std::make_unique<HistoryStore>(
          HistoryStore::Services{services.settings, services.scheduler, services.historyFile}))
{
    // Observers of the manager hear of a history change before the filtered
    // list that follows from it, as with one object.
    connect(m_store.get(), &HistoryStore::itemsChanged, this, &ClipboardManager::itemsChanged);
    m_state = std::make_unique<PopoverState>(*m_store);
    m_watcher = std::make_unique<ClipboardWatcher>(
        ClipboardWatcher::Services{services.scheduler, services.clipboard, services.focus}, *m_store);

    PopoverState* state = m_state.get();
    connect(state, &PopoverState::searchTextChanged, this, &ClipboardManager::searchTextChanged);
    connect(state, &PopoverState::selectedIndexChanged, this, &ClipboardManager::selectedIndexChanged);
    connect(state, &PopoverState::shouldScrollToSelectionChanged, this,
            &ClipboardManager::shouldScrollToSelectionChanged);
    connect(state, &PopoverState::showDetailForSelectedChanged, this,
            &ClipboardManager::showDetailForSelectedChanged);
    connect(state, &PopoverState::closeDetailRequestedChanged, this,
            &ClipboardManager::closeDetailRequestedChanged);
    connect(state, &PopoverState::filteredItemsChanged, this, &ClipboardManager::filteredItemsChanged);
}

ClipboardManager::~ClipboardManager() = default;

const QList<ClipboardItem>& ClipboardManager::items() const
{
    return m_store->items();
}
void ClipboardManager::setItems(const QList<ClipboardItem>& items)
{
    m_store->setItems(items);
}
void ClipboardManager::addItem(const ClipboardItem& item)
{
    m_store->addItem(item);
}
void ClipboardManager::addTransformedItem(const ClipboardItem& item)
{
    m_store->addTransformedItem(item);
}
void ClipboardManager::togglePin(const QUuid& id)
{
    m_store->togglePin(id);
}
void ClipboardManager::deleteItem(const QUuid& id)
{
    m_store->deleteItem(id);
}
void ClipboardManager::clearUnpinned()
{
    m_store->clearUnpinned();
}
void ClipboardManager::waitForLoad()
{
    m_store->waitForLoad();
}

void ClipboardManager::waitForSaves()
{
    m_store->waitForSaves();
}

void ClipboardManager::applyHistoryLimit()
{
    m_store->applyHistoryLimit();
}

const QString& ClipboardManager::searchText() const
{
    return m_state->searchText();
}
void ClipboardManager::setSearchText(const QString& text)
{
    m_state->setSearchText(text);
}
qsizetype ClipboardManager::selectedIndex() const
{
    return m_state->selectedIndex();
}
void ClipboardManager::setSelectedIndex(qsizetype index)
{
    m_state->setSelectedIndex(index);
}
bool ClipboardManager::shouldScrollToSelection() const
{
    return m_state->shouldScrollToSelection();
}
void ClipboardManager::setShouldScrollToSelection(bool value)
{
    m_state->setShouldScrollToSelection(value);
}
bool ClipboardManager::showDetailForSelected() const
{
    return m_state->showDetailForSelected();
}
void ClipboardManager::setShowDetailForSelected(bool value)
{
    m_state->setShowDetailForSelected(value);
}
bool ClipboardManager::closeDetailRequested() const
{
    return m_state->closeDetailRequested();
}
void ClipboardManager::setCloseDetailRequested(bool value)
{
    m_state->setCloseDetailRequested(value);
}
QList<ClipboardItem> ClipboardManager::filteredItems() const
{
    return m_state->filteredItems();
}
std::optional<ClipboardItem> ClipboardManager::selectedItem() const
{
    return m_state->selectedItem();
}
void ClipboardManager::moveSelection(qsizetype step)
{
    m_state->moveSelection(step);
}

qint64 ClipboardManager::lastChangeCount() const
{
    return m_watcher->lastChangeCount();
}
bool ClipboardManager::isMonitoring() const
{
    return m_watcher->isMonitoring();
}
void ClipboardManager::startMonitoring()
{
    m_watcher->startMonitoring();
}
void ClipboardManager::stopMonitoring()
{
    m_watcher->stopMonitoring();
}
void ClipboardManager::checkClipboard()
{
    m_watcher->checkClipboard();
}
void ClipboardManager::setBackgroundDetectionThreshold(qsizetype units)
{
    m_watcher->setBackgroundDetectionThreshold(units);
}
qsizetype ClipboardManager::pendingCaptureCount() const
{
    return m_watcher->pendingCaptureCount();
}

void ClipboardManager::pasteSelected()
{
    if (const auto item = selectedItem())
        copyAndPaste(*item);
}

void ClipboardManager::writeToClipboard(const ClipboardItem& item)
{
    platform::Clipboard& clipboard = m_services.clipboard;
    clipboard.clearContents();
    switch (item.type()) {
    case ClipboardItemType::text:
        if (const std::optional<QString> text = item.text()) // a long one is decoded here, once
            clipboard.setString(*text);
        break;
    case ClipboardItemType::image:
        if (const QByteArray tiff = item.tiffRepresentation(); !tiff.isEmpty())
            clipboard.setImageData(tiff);
        break;
    case ClipboardItemType::file:
        if (item.fileURL())
            clipboard.writeFileURL(*item.fileURL());
        break;
    }
}

void ClipboardManager::copyAndPaste(const ClipboardItem& item)
{
    writeToClipboard(item);
    // The stored entry decides whether it moves: a caller's copy may predate a pin toggle.
    m_store->moveToFront(item.id());
    m_services.scheduler.postAfter(kPasteDelaySeconds, this, [this] {
        m_services.pasteTyper.typePaste();
        Q_EMIT pasteKeystrokePosted();
    });
}

} // namespace ondrel
