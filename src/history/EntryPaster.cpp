#include "EntryPaster.h"

#include "Clipboard.h"
#include "HistoryStore.h"
#include "PasteTyper.h"
#include "Scheduler.h"
#include "Worker.h"

#include <QFileInfo>

#include <utility>

namespace ondrel {

EntryPaster::EntryPaster(Services services, HistoryStore& store, QObject* parent)
    : QObject(parent), m_services(services), m_store(store)
{
    m_services.pasteTyper.whenTyped([this] { Q_EMIT pasteKeystrokePosted(); });
}

EntryPaster::~EntryPaster()
{
    m_reader.reset();
    m_services.pasteTyper.whenTyped({});
}

platform::Worker& EntryPaster::reader()
{
    if (!m_reader)
        m_reader = std::make_unique<platform::Worker>("ondrel-copyout");
    return *m_reader;
}

bool EntryPaster::writeStoredImage(const ClipboardItem& item, bool paste, Written written)
{
    // Gone from disk: said now, while the caller can still tell the user.
    if (!QFileInfo::exists(item.storedImage()->path))
        return false;
    const quint64 copy = m_copies;
    reader().run(
        this,
        [item] {
            std::optional<platform::EncodedImage> bytes = item.imageBytes();
            QImage image = bytes ? QImage::fromData(bytes->bytes) : QImage();
            return std::make_pair(std::move(image), std::move(bytes));
        },
        [this, copy, paste,
         written = std::move(written)](std::pair<QImage, std::optional<platform::EncodedImage>> read) {
            bool done = false;
            if (copy == m_copies && !read.first.isNull()) {
                m_services.clipboard.clearContents();
                done = m_services.clipboard.setImage(read.first, read.second);
                if (done && paste)
                    postPaste();
            }
            if (written)
                written(done);
        });
    return true;
}

void EntryPaster::readImage(const ClipboardItem& item,
                            std::function<void(std::optional<platform::EncodedImage>)> done)
{
    reader().run(
        this, [item] { return item.imageBytes(); }, std::move(done));
}

void EntryPaster::postPaste()
{
    m_services.scheduler.postAfter(kPasteDelaySeconds, this, [this] { m_services.pasteTyper.typePaste(); });
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
            return clipboard.setString(*text, item.formats()); // its HTML and RTF too
        }
        return false;
    case ClipboardItemType::image:
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

bool EntryPaster::copy(ClipboardItem item, Written written)
{
    return copyOut(item, false, std::move(written));
}

bool EntryPaster::copyOut(const ClipboardItem& item, bool paste, Written written)
{
    ++m_copies;
    // A stored image reaches the clipboard, and is pasted, once read from disk.
    if (item.type() == ClipboardItemType::image && item.storedImage()) {
        if (!writeStoredImage(item, paste, std::move(written)))
            return false;
        m_store.moveToFront(item.id());
        return true;
    }
    // A paste keystroke after a failed write would paste whatever the
    // clipboard held before, which the user did not choose.
    if (!writeToClipboard(item))
        return false;
    // The stored entry decides whether it moves: a caller's copy may predate a pin toggle.
    m_store.moveToFront(item.id());
    if (paste)
        postPaste();
    if (written)
        written(true);
    return true;
}

bool EntryPaster::canPaste() const
{
    return m_services.pasteTyper.canPaste();
}

bool EntryPaster::copyAndPaste(ClipboardItem item, Written written)
{
    return copyOut(item, true, std::move(written));
}

} // namespace ondrel
