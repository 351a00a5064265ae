#pragma once

#include "Clipboard.h" // ClipboardContents

#include <QtGlobal>

#include <functional>

class QObject;

namespace ondrel::platform {

// The text the user selects with the mouse, which a middle click pastes
// (X11's PRIMARY selection, Wayland's primary selection). Only watched and
// read, never taken: this program leaves it, and the clipboard, to the
// programs the user selects in. All calls come from the main thread.
class PrimarySelection
{
public:
    virtual ~PrimarySelection() = default;

    // Calls `fn` on the main thread after every change another program
    // announces; an empty `fn` stops the calls.
    virtual void observeChanges(std::function<void()> fn) = 0;
    // Reads the secret hint and the text (never an image or a URL list, see
    // selectionTypes in ClipboardData.h), not past `limit` bytes, without
    // the main thread waiting, and hands them to `done` on the main thread
    // unless `context` is gone by then. Our own selection reads as empty.
    virtual void readText(QObject* context, qsizetype limit, std::function<void(ClipboardContents)> done) = 0;
    // A mouse button is down: a selection being dragged may grow without
    // telling. False where that cannot be known.
    virtual bool buttonHeld() const { return false; }
};

} // namespace ondrel::platform
