#pragma once

// A history store on a desktop's real clipboard and the real clock, for
// the desktop tests; the paste keystroke and the focus are stand-ins unless
// given.

#include "ClipboardHistory.h"
#include "MemoryFocusTracker.h"
#include "MemorySettings.h"
#include "QtScheduler.h"
#include "RecordingPasteTyper.h"

namespace ondrel::test {

struct LiveStore
{
    explicit LiveStore(platform::Clipboard& clipboard, platform::PasteTyper* typer = nullptr,
                       platform::FocusTracker* tracker = nullptr)
        : history({settings, scheduler, clipboard, typer ? *typer : pasteTyper, tracker ? *tracker : focus,
                   nullptr})
    {
        history.watcher.startMonitoring();
    }

    platform::MemorySettings settings;
    platform::QtScheduler scheduler;
    platform::RecordingPasteTyper pasteTyper;
    platform::MemoryFocusTracker focus;
    ClipboardHistory history;
};

} // namespace ondrel::test
