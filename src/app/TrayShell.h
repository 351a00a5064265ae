#pragma once

#include "ClipboardHistory.h"
#include "HistoryService.h"
#include "PopoverController.h"
#include "Registry.h"
#include "SettingsController.h"
#include "Theme.h"
#include "TrayController.h"

namespace ondrel {

namespace platform {
class Alerts;
class Autostart;
class DesktopColorScheme;
class HotKeyService;
class KeyboardLayout;
class Updater;
} // namespace platform

// The tray application over its services: the clipboard history, the tray
// icon, the popover, the settings window and the global hotkey, made in the
// order they rely on each other and wired together.
class TrayShell final
{
public:
    struct Services
    {
        platform::Settings& settings;
        platform::Scheduler& scheduler;
        platform::Clipboard& clipboard;
        platform::PasteTyper& pasteTyper;
        platform::FocusTracker& focus;
        platform::HotKeyService& hotKeys;
        const platform::KeyboardLayout& layout;
        platform::Alerts& alerts;
        platform::Autostart& autostart;
        platform::Updater& updater;
        HistoryFile* historyFile = nullptr;
        QString version;
        bool trayIcon = true;
        QString desktop; // what `ondrel status` names: "X11", "Wayland" or "headless"
        platform::PrimarySelection* selection = nullptr;     // none: no mouse selection to record
        platform::DesktopColorScheme* colorScheme = nullptr; // none: Qt's palette tells dark from light
    };

    // The global hotkey's name, stored as "KeyboardShortcuts_togglePopover".
    static inline const QString kHotkeyName = QStringLiteral("togglePopover");
    static inline const hotkeys::Shortcut kDefaultHotkey{9, 768}; // Super+Shift+V
    // How long quitting waits for a copy still being read.
    static constexpr int kQuitWaitMs = 2000;

    // Loads the history.
    explicit TrayShell(Services services);

    // Shows the tray icon, grabs the hotkey, watches the clipboard and takes
    // over the updates.
    void start();
    // Stops watching and reading keys, and returns once the history is saved.
    void shutdown();

    ClipboardHistory& history() { return m_history; }
    ThemeManager& theme() { return m_theme; }
    hotkeys::Registry& shortcuts() { return m_shortcuts; }
    SettingsController& settings() { return m_settings; }
    PopoverController& popover() { return m_popover; }
    TrayController& tray() { return m_tray; }
    HistoryService& service() { return m_service; }

private:
    ClipboardHistory m_history;
    ThemeManager m_theme;
    hotkeys::Registry m_shortcuts;
    SettingsController m_settings;
    PopoverController m_popover;
    TrayController m_tray;
    HistoryService m_service;
};

} // namespace ondrel
