#pragma once

#include "ClipboardData.h"
#include "Xcb.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <map>

namespace ondrel::platform {

// The requestor's side of the CLIPBOARD selection on a connection of its
// own: asks the owner for one target, waits for the answer within a budget
// (large transfers in pieces, INCR), and gives up at once when `stopping`
// is set and `wakeFd` becomes readable. Used by one thread at a time.
class X11SelectionTransfer final
{
public:
    enum class Status
    {
        ok,
        refused,  // the owner does not offer the target
        timedOut, // no answer (or no next piece) within the budget
        tooLarge, // more than kMaxOfferedBytes
        stopped,
        failed
    };
    struct Fetched
    {
        Status status = Status::failed;
        QByteArray bytes;
        xcb_atom_t type = XCB_ATOM_NONE;
    };

    X11SelectionTransfer(xcb_connection_t* connection, const std::atomic<bool>& stopping, int wakeFd);
    ~X11SelectionTransfer();
    X11SelectionTransfer(const X11SelectionTransfer&) = delete;
    X11SelectionTransfer& operator=(const X11SelectionTransfer&) = delete;

    xcb_connection_t* connection() const { return m_connection; }
    xcb_atom_t targetsAtom() const { return m_targets; }
    // The window that owns the clipboard now, or XCB_NONE.
    xcb_window_t owner();
    // Whether `window` belongs to the session's clipboard manager (the
    // owner of CLIPBOARD_MANAGER, through a window of its own or another).
    bool isClipboardManager(xcb_window_t window);
    // Asks the owner to convert the clipboard to `target`; the first answer
    // must come within `budgetMs`, each later piece of a large transfer too.
    Fetched fetch(xcb_atom_t target, int budgetMs);
    // The names of `atoms` (without repeats), asked for in one round trip.
    QStringList namesOf(const QList<xcb_atom_t>& atoms);

private:
    using Clock = std::chrono::steady_clock;
    // The next event `matches` accepts, or none when `deadline` passes or
    // the reader stops.
    template <typename Match>
    xcb::Reply<xcb_generic_event_t> waitFor(Match matches, Clock::time_point deadline);
    Fetched takeProperty();

    xcb_connection_t* m_connection;
    const std::atomic<bool>& m_stopping;
    int m_wakeFd;
    xcb_window_t m_window = 0;
    xcb_atom_t m_clipboard = 0;
    xcb_atom_t m_manager = 0;
    xcb_atom_t m_targets = 0;
    xcb_atom_t m_incr = 0;
    xcb_atom_t m_property = 0;
    std::map<xcb_atom_t, QString> m_names;
};

} // namespace ondrel::platform
