#pragma once

// A history store on a desktop's real clipboard and the real clock, for
// the desktop tests; the paste keystroke and the focus are stand-ins unless
// given.

#include "ClipboardManager.h"
#include "MemoryFocusTracker.h"
#include "MemorySettings.h"
#include "QtScheduler.h"
#include "RecordingPasteTyper.h"

namespace ondrel::test {

struct LiveStore
{
    explicit LiveStore(platform::Clipboard& clipboard, platform::PasteTyper* typer = nullptr,
                       platform::FocusTracker* tracker = nullptr)
        : manager({settings, scheduler, clipboard, typer ? *typer : pasteTyper, tracker ? *tracker : focus,
                   nullptr})
    {
        manager.startMonitoring();
    }

    platform::MemorySettings settings;
    platform::QtScheduler scheduler;
    platform::RecordingPasteTyper pasteTyper;
    platform::MemoryFocusTracker focus;
    ClipboardManager manager;
};

} // namespace ondrel::test
