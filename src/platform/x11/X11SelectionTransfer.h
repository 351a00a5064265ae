#pragma once

#include "ClipboardData.h"
#include "Xcb.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <chrono>
#include <map>

namespace ondrel::platform {

// The requestor's side of a selection (CLIPBOARD, or PRIMARY for what is
// selected with the mouse) on a connection of its own: asks the owner for
// one target, waits for the answer within a budget (large transfers in
// pieces, INCR), and gives up at once when `stopping` is set and `wakeFd`
// becomes readable, or when the selection gets a new owner after
// beginRead() (the server tells this connection, XFixes). Used by one
// thread at a time.
class X11SelectionTransfer final
{
public:
    enum class Status
    {
        ok,
        refused,    // the owner does not offer the target
        timedOut,   // no answer (or no next piece) within the budget
        tooSlow,    // pieces keep coming, but slower than ReadPace allows
        tooLarge,   // more than the limit
        superseded, // the selection changed meanwhile: what came is not the whole
        stopped,
        failed
    };
    struct Fetched
    {
        Status status = Status::failed;
        QByteArray bytes;
        xcb_atom_t type = XCB_ATOM_NONE;
    };

    X11SelectionTransfer(xcb_connection_t* connection, const std::atomic<bool>& stopping, int wakeFd,
                         const char* selection = "CLIPBOARD");
    ~X11SelectionTransfer();
    X11SelectionTransfer(const X11SelectionTransfer&) = delete;
    X11SelectionTransfer& operator=(const X11SelectionTransfer&) = delete;

    xcb_connection_t* connection() const { return m_connection; }
    xcb_atom_t targetsAtom() const { return m_targets; }
    // The window that owns the selection now, or XCB_NONE.
    xcb_window_t owner();
    // Starts reading what the selection holds now (returns its owner): a
    // fetch ends as superseded once it has a newer owner.
    xcb_window_t beginRead();
    void endRead();
    // Whether `window` belongs to the session's clipboard manager (the
    // owner of CLIPBOARD_MANAGER, through a window of its own or another).
    bool isClipboardManager(xcb_window_t window);
    // Asks the owner to convert the selection to `target`, within the
    // ReadPace of `budgetMs` and `limit` bytes (at most kMaxEntryBytes).
    Fetched fetch(xcb_atom_t target, int budgetMs, qsizetype limit = kMaxEntryBytes);
    // The names of `atoms` (without repeats), asked for in one round trip.
    QStringList namesOf(const QList<xcb_atom_t>& atoms);

private:
    using Clock = std::chrono::steady_clock;
    // The next event `matches` accepts, or none when `pace` runs out, the
    // reader stops or the selection changes.
    template <typename Match> xcb::Reply<xcb_generic_event_t> waitFor(Match matches, const ReadPace& pace);
    // Why waitFor() gave up.
    Status endOfWait(const ReadPace& pace) const;
    void watchOwners(bool watch);
    // Notes `event` when it tells of a new owner of the selection (true then).
    bool noteOwnerChange(const xcb_generic_event_t* event);
    void takeQueuedEvents();
    // Asks the server: whether the selection changed since beginRead().
    bool changedSinceBegin();
    struct Taken
    {
        Status status = Status::failed;
        xcb_atom_t type = XCB_ATOM_NONE;
        qsizetype length = 0;
    };
    // Appends our property to `into` (within `limit`) and deletes it.
    Taken takeProperty(QByteArray& into, qsizetype limit);
    // A transfer given up half-way: requests from now on name another property.
    void abandonProperty();

    xcb_connection_t* m_connection;
    const std::atomic<bool>& m_stopping;
    int m_wakeFd;
    uint8_t m_ownerChangeEvent = 0; // XFixes' selection event, 0 without XFixes
    bool m_changed = false;         // since beginRead()
    xcb_window_t m_window = 0;
    xcb_atom_t m_selection = 0;
    xcb_atom_t m_manager = 0;
    xcb_atom_t m_targets = 0;
    xcb_atom_t m_incr = 0;
    // The property answers are asked into; one whose request was given up
    // is not used again until seven others were.
    std::array<xcb_atom_t, 8> m_properties{};
    size_t m_nextProperty = 0;
    xcb_atom_t m_property = 0;
    std::map<xcb_atom_t, QString> m_names;
};

} // namespace ondrel::platform
