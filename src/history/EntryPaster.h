#pragma once

#include "ClipboardItem.h"

#include <QObject>

#include <functional>
#include <memory>

namespace ondrel {

namespace platform {
class Clipboard;
class Worker;
class PasteTyper;
class Scheduler;
} // namespace platform

class HistoryStore;

// Puts a history entry back on the clipboard and pastes it into the
// focused application.
class EntryPaster final : public QObject
{
    Q_OBJECT
public:
    static constexpr double kPasteDelaySeconds = 0.1;

    struct Services
    {
        platform::Scheduler& scheduler;
        platform::Clipboard& clipboard;
        platform::PasteTyper& pasteTyper;
    };

    EntryPaster(Services services, HistoryStore& store, QObject* parent = nullptr);
    ~EntryPaster() override;

    // Told whether the entry reached the clipboard.
    using Written = std::function<void(bool)>;

    // Puts the entry back on the clipboard, moves it to the front when it is
    // not pinned, and posts the paste keystroke shortly after. Answers false,
    // and does neither, when nothing could be written. A saved image is read
    // from disk off this thread first: it reaches the clipboard a moment
    // later, or not at all when its file turns out unreadable or another
    // copy came first. `written`, when given and the answer is true, is told
    // which, once it is known (at once for the others).
    bool copyAndPaste(ClipboardItem item, Written written = {});
    // The same without the keystroke. Both take the entry by value: it may
    // be the store's own, which moving it to the front replaces.
    bool copy(ClipboardItem item, Written written = {});
    // The bytes an image was copied as (PNG when it came without), read or
    // made off this thread; nothing when its file cannot be read.
    void readImage(const ClipboardItem& item,
                   std::function<void(std::optional<platform::EncodedImage>)> done);
    // Whether the keystroke can reach another program now (see PasteTyper).
    bool canPaste() const;

Q_SIGNALS:
    // The paste keystroke of a copyAndPaste went out just now (or was given up).
    void pasteKeystrokePosted();

private:
    bool copyOut(const ClipboardItem& item, bool paste, Written written);
    // Writes an entry held in memory.
    bool writeToClipboard(const ClipboardItem& item);
    // A stored image is read and decoded on a worker and offered once it
    // is ready (with the keystroke after it, when `paste`), `written` told
    // then; a copy made meanwhile wins.
    bool writeStoredImage(const ClipboardItem& item, bool paste, Written written);
    platform::Worker& reader();
    void postPaste();

    Services m_services;
    HistoryStore& m_store;
    std::unique_ptr<platform::Worker> m_reader;
    quint64 m_copies = 0; // copies so far: a stored image read for an older one is not offered
};

} // namespace ondrel
