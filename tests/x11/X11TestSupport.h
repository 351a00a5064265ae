#pragma once

// Helpers of the X11 tests.

#include "TestWindow.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <xcb/xcb.h>

#include <optional>

namespace ondrel::test {

// Qt's own X connection and the root window of its screen.
xcb_connection_t* connection();
xcb_window_t rootWindow();
// The window that owns the CLIPBOARD selection, or none.
xcb_window_t clipboardOwner();

// The process whose window is active (0 when none or unknown).
quint32 activeWindowPid();
// Runs xdotool with these space-separated words (on another X display if
// given), as a user's keys and clicks: its output; none when it failed.
std::optional<QString> xdotool(const QString& words, const QString& display = {});

// Offers `bytes` as `type` on the clipboard from another program (xclip
// keeps serving it in the background until someone else takes it).
void offer(const QByteArray& bytes, const QString& type = QStringLiteral("text/plain"));
// What another program reads for `type`. The event loop keeps running, so
// this process can answer while it owns the clipboard.
QByteArray readBack(const QString& type);

// A program that takes the clipboard and never answers for it; it tells
// which types it was asked for.
class HungOwner final
{
public:
    ~HungOwner();
    // Starts it and waits until it owns the clipboard. With
    // "--answer-targets" it lists text types and hangs only when asked for
    // the text; "--slow" and "--endless" send the text in pieces (see
    // hung_clipboard_owner.cpp).
    bool start(const QString& mode = {});
    // Waits until it says `line` (lines before it are passed over).
    bool waitFor(const QByteArray& line, int timeoutMs = 5000);
    // The types it was asked for so far, in order.
    QStringList requests();

private:
    void collect();
    QProcess m_process;
    QStringList m_requests;
    QByteArrayList m_lines;
};

// An SVG that takes long to draw at full size: `circles` dashed circles of
// the given radius on a canvas of `side` pixels.
QByteArray heavySvg(int side, int circles, int radius);

// Whether the window manager has the window of process `pid` active
// (_NET_ACTIVE_WINDOW), for TestWindow::start: the X11 services read that,
// and the window of the test before has the same class.
bool isActiveWindow(qint64 pid);
// The program's popover when it is on screen, and its icon docked in a tray
// (X window ids; empty: none).
QString popoverWindow(const QString& display = {});
QString trayIconWindow(qint64 pid, const QString& display = {});

} // namespace ondrel::test
