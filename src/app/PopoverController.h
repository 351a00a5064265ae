#pragma once

#include "PopoverWindow.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class QKeyEvent;

namespace ondrel {

namespace platform {
class Clipboard;
class FocusTracker;
class PasteTyper;
class Scheduler;
class Settings;
} // namespace platform
class ClipboardWatcher;
class EntryPaster;
class HistoryStore;
class PopoverState;
class ThemeManager;

// The popover with the history: built on first use, opened under the tray
// icon, the keyboard while it is open, and closing once an entry is pasted.
class PopoverController final : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        platform::Scheduler& scheduler;
        platform::Clipboard& clipboard;
        platform::PasteTyper& pasteTyper;
        platform::FocusTracker& focus;
        platform::Settings& settings;
    };

    // Digit keys 1-9 of the main keyboard (by key code) → row.
    static const QHash<qint64, int>& numberKeyCodes();
    // The row Ctrl and this key pastes, if any.
    static std::optional<int> numberRow(const QKeyEvent& event);
    // Escape first asks an open detail view to close; the popover closes
    // when no detail view has taken the request by then.
    static constexpr double kEscapeCloseSeconds = 0.1;

    PopoverController(Services services, HistoryStore& store, PopoverState& state, EntryPaster& paster,
                      ClipboardWatcher& watcher, ThemeManager& theme, QObject* parent = nullptr);
    ~PopoverController() override;

    // Where it opens: under the tray icon; an empty rectangle, at the pointer.
    void setAnchor(std::function<QRect()> anchor) { m_anchor = std::move(anchor); }
    void togglePopover();
    // A left click on the tray icon.
    void toggleFromTray();
    // Closes it and stops reading its keys (the status menu takes over).
    void dismiss();
    // The popover opens when the global hotkey is released; one that was
    // never opened is built while the key is still down.
    void hotkeyPressed();
    void hotkeyReleased();
    // Answers true when it consumed the key.
    bool handleKeyDown(const QKeyEvent& event);
    void removeKeyMonitor();

    // The popover, built on first use: a program that only records keeps
    // its widgets, fonts and their code out of memory (about 4.5 MiB).
    PopoverWindow* popover();
    bool isPopoverBuilt() const { return m_popover; }
    bool isPopoverShown() const;
    // Called with the popover once it is built, before it is first shown.
    void whenPopoverBuilt(std::function<void(PopoverWindow&)> handler)
    {
        m_popoverBuilt = std::move(handler);
    }
    bool hasKeyMonitor() const { return m_keyMonitor != nullptr; }

private:
    class KeyMonitor;
    void addKeyMonitor();
    void closePopover();
    void closeAfterCopy(bool copied);

    Services m_services;
    HistoryStore& m_store;
    PopoverState& m_state;
    EntryPaster& m_paster;
    ClipboardWatcher& m_watcher;
    ThemeManager& m_theme;
    std::function<QRect()> m_anchor;
    QPointer<PopoverWindow> m_popover;
    std::function<void(PopoverWindow&)> m_popoverBuilt;
    KeyMonitor* m_keyMonitor = nullptr;
};

} // namespace ondrel
