#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <xcb/xcb.h>

#include <functional>

class QMimeData;

namespace ondrel::platform {

class X11Clipboard;

// Keeps the clipboard's contents when the program that owns them exits: as
// the session's clipboard manager (owner of CLIPBOARD_MANAGER) it answers
// the SAVE_TARGETS request such programs send on a normal exit by taking
// the contents over. Meta targets are never copied, contents marked secret
// or that the clipboard may not keep (Clipboard::mayKeep) are never taken,
// and the hand-over does not count as a clipboard change.
class X11ClipboardKeeper final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    // `enabled` is asked at each request (the "keepClipboardContents" setting).
    X11ClipboardKeeper(xcb_connection_t* connection, xcb_window_t root, X11Clipboard& clipboard,
                       std::function<bool()> enabled, QObject* parent = nullptr);
    ~X11ClipboardKeeper() override;

    // Becomes the clipboard manager unless another program already is; false then.
    bool start();
    // Gives the role up. Must happen before the application quits: Qt hands
    // our own contents to the clipboard manager on exit and would wait for
    // itself until its timeout.
    void stop();
    bool isActive() const { return m_active; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    // Emitted after contents were taken over.
    void contentsKept();

private:
    xcb_atom_t atom(const char* name);
    void reply(xcb_window_t requestor, xcb_atom_t selection, xcb_atom_t target, xcb_atom_t property,
               xcb_timestamp_t time);
    void keepContents(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property, xcb_timestamp_t time);

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    X11Clipboard& m_clipboard;
    std::function<bool()> m_enabled;
    xcb_window_t m_window = 0;
    bool m_active = false;
    xcb_atom_t m_manager = 0;
    xcb_atom_t m_saveTargets = 0;
    xcb_atom_t m_targets = 0;
};

} // namespace ondrel::platform
