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

bool EntryPaster::writeToClipboard(const ClipboardItem& item)
{
    // What to write is made before the clipboard is emptied: an entry that
    // has nothing to give leaves the user's clipboard as it was.
    platform::Clipboard& clipboard = m_services.clipboard;
    switch (item.type()) {
    case ClipboardItemType::text:
        if (const std::optional<QString> text = item.text()) { // a long one is decoded here, once
            clipboard.clearContents();
            return clipboard.setString(*text);
        }
        return false;
    case ClipboardItemType::image:
        if (item.storedImage()) {
            const std::optional<platform::EncodedImage> bytes = item.imageBytes();
            const QImage image = bytes ? QImage::fromData(bytes->bytes) : QImage();
            if (image.isNull())
                return false;
            clipboard.clearContents();
            return clipboard.setImage(image, bytes);
        }
        // No encoding here: the clipboard offers the bytes the image came in
        // and makes other types off this thread.
        if (const std::optional<QImage>& image = item.image(); image && !image->isNull()) {
            clipboard.clearContents();
            return clipboard.setImage(*image, item.encodedImage());
        }
        return false;
    case ClipboardItemType::file:
        if (!item.fileURLs().isEmpty()) {
            clipboard.clearContents();
            return clipboard.writeFileURLs(item.fileURLs());
        }
        return false;
    }
    return false;
}

bool EntryPaster::copy(const ClipboardItem& item)
{
    if (!writeToClipboard(item))
        return false;
    // The stored entry decides whether it moves: a caller's copy may predate a pin toggle.
    m_store.moveToFront(item.id());
    return true;
}

bool EntryPaster::canPaste() const
{
    return m_services.pasteTyper.canPaste();
}

bool EntryPaster::copyAndPaste(const ClipboardItem& item)
{
    // A paste keystroke after a failed write would paste whatever the
    // clipboard held before, which the user did not choose.
    if (!copy(item))
        return false;
    m_services.scheduler.postAfter(kPasteDelaySeconds, this, [this] { m_services.pasteTyper.typePaste(); });
    return true;
}

} // namespace ondrel
