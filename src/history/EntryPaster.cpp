#include "EntryPaster.h"

#include "Clipboard.h"
#include "HistoryStore.h"
#include "PasteTyper.h"
#include "Scheduler.h"

namespace ondrel {

EntryPaster::EntryPaster(Services services, HistoryStore& store, QObject* parent)
    : QObject(parent), m_services(services), m_store(store)
{
    m_services.pasteTyper.whenTyped([this] { Q_EMIT pasteKeystrokePosted(); });
}

EntryPaster::~EntryPaster()
{
    m_services.pasteTyper.whenTyped({});
}

void EntryPaster::writeToClipboard(const ClipboardItem& item)
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

void EntryPaster::copyAndPaste(const ClipboardItem& item)
{
    writeToClipboard(item);
    // The stored entry decides whether it moves: a caller's copy may predate a pin toggle.
    m_store.moveToFront(item.id());
    m_services.scheduler.postAfter(kPasteDelaySeconds, this, [this] { m_services.pasteTyper.typePaste(); });
}

} // namespace ondrel
