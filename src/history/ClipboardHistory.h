#pragma once

#include "ClipboardWatcher.h"
#include "EntryPaster.h"
#include "HistoryStore.h"
#include "PopoverState.h"
#include "SelectionWatcher.h"

#include <memory>

namespace ondrel {

// The clipboard history's parts, made in the order they rely on each other:
// the entries (their file starts loading at once), what the popover shows of
// them, the watcher that fills them and the paster that puts one back, and
// the watcher of mouse selections where the desktop has them.
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
        // none: the desktop has no mouse selection to record
        platform::PrimarySelection* selection = nullptr;
    };

    explicit ClipboardHistory(Services services)
        : store({services.settings, services.scheduler, services.historyFile}), state(store),
          watcher({services.scheduler, services.clipboard, services.focus, services.settings}, store),
          paster({services.scheduler, services.clipboard, services.pasteTyper}, store)
    {
        if (services.selection)
            selections = std::make_unique<SelectionWatcher>(
                SelectionWatcher::Services{services.scheduler, *services.selection, services.focus,
                                           services.settings},
                watcher);
    }

    HistoryStore store;
    PopoverState state;
    ClipboardWatcher watcher;
    EntryPaster paster;
    std::unique_ptr<SelectionWatcher> selections; // with a mouse selection to record
};

} // namespace ondrel
