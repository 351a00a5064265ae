#pragma once

#include "PrimarySelection.h"
#include "X11ClipboardReader.h"

#include <QObject>

#include <xcb/xcb.h>

#include <memory>

class QClipboard;

namespace ondrel::platform {

// X11's PRIMARY selection: its changes as Qt reports them (XFixes), its
// text read by an X11ClipboardReader of its own, made at the first read, so
// that nothing runs for it while its recording is off.
class X11PrimarySelection final : public QObject, public PrimarySelection
{
    Q_OBJECT
public:
    X11PrimarySelection(QClipboard* clipboard, xcb_connection_t* connection, xcb_window_t root,
                        X11ClipboardReader::Budgets budgets = {}, QObject* parent = nullptr);
    ~X11PrimarySelection() override;

    void observeChanges(std::function<void()> fn) override { m_onChange = std::move(fn); }
    void readText(QObject* context, qsizetype limit, std::function<void(ClipboardContents)> done) override;
    // One round trip to the server (the pointer's state), no other client involved.
    bool buttonHeld() const override;

private:
    QClipboard* m_clipboard;
    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    X11ClipboardReader::Budgets m_budgets;
    qint64 m_changeCount = 0;
    std::function<void()> m_onChange;
    std::unique_ptr<X11ClipboardReader> m_reader;
};

} // namespace ondrel::platform
