#pragma once

#include "ClipboardWatcher.h"
#include "EntryPaster.h"
#include "HistoryStore.h"
#include "PopoverState.h"

namespace ondrel {

// The clipboard history's parts, made in the order they rely on each other:
// the entries (their file starts loading at once), what the popover shows of
// them, the watcher that fills them and the paster that puts one back.
struct ClipboardHistory final
{
    struct Services
    {
        platform::Settings& settings;
        platform::Scheduler& scheduler;
        platform::Clipboard& clipboard;
        platform::PasteTyper& pasteTyper;
        platform::FocusTracker& focus;
        HistoryFile* historyFile = nullptr; // none: the history is not kept across runs
    };

    explicit ClipboardHistory(Services services)
        : store({services.settings, services.scheduler, services.historyFile}), state(store),
          watcher({services.scheduler, services.clipboard, services.focus, services.settings}, store),
          paster({services.scheduler, services.clipboard, services.pasteTyper}, store)
    {}

    HistoryStore store;
    PopoverState state;
    ClipboardWatcher watcher;
    EntryPaster paster;
};

} // namespace ondrel
