#pragma once

#include "ClipboardItem.h"

#include <QObject>

namespace ondrel {

namespace platform {
class Clipboard;
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

    // Puts the entry back on the clipboard, moves it to the front when it is
    // not pinned, and posts the paste keystroke shortly after. Answers false,
    // and does neither, when nothing could be written.
    bool copyAndPaste(const ClipboardItem& item);
    // The same without the keystroke.
    bool copy(const ClipboardItem& item);
    // Whether the keystroke can reach another program now (see PasteTyper).
    bool canPaste() const;

Q_SIGNALS:
    // The paste keystroke of a copyAndPaste went out just now (or was given up).
    void pasteKeystrokePosted();

private:
    bool writeToClipboard(const ClipboardItem& item);

    Services m_services;
    HistoryStore& m_store;
};

} // namespace ondrel
