#pragma once

#include "PopoverWindow.h"
#include "SettingsView.h"
#include "Shortcut.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class QKeyEvent;
class QMenu;

namespace ondrel {

namespace platform {
class Alerts;
class HotKeyService;
class KeyboardLayout;
class PasteTyper;
class Autostart;
class Scheduler;
class Clipboard;
class Updater;
class Settings;
class FocusTracker;
} // namespace platform
namespace hotkeys {
class Registry;
}
struct ClipboardHistory;
class HistoryFile;
class ThemeManager;
class UpdateManager;

// Owns what the user sees outside the settings window: the tray icon, the
// popover with the history, the keyboard while the popover is open, the
// status menu; starts and stops the clipboard watcher.
class TrayController final : public QObject
{
    Q_OBJECT
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
    };

    // Digit keys 1-9 of the main keyboard (by key code) → row.
    static const QHash<qint64, int>& numberKeyCodes();
    // The global hotkey's name, stored as "KeyboardShortcuts_togglePopover".
    static inline const QString kHotkeyName = QStringLiteral("togglePopover");
    static inline const hotkeys::Shortcut kDefaultHotkey{9, 768}; // Super+Shift+V

    explicit TrayController(Services services, QObject* parent = nullptr);
    ~TrayController() override;

    void start();
    void shutdown();
    void trayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void togglePopover();
    void showStatusMenu();
    // The status menu as it is shown; the caller owns it.
    QMenu* buildStatusMenu();
    void openSettings();
    void clearHistory();
    void checkForUpdates();
    void toggleAutoUpdates();
    // Answers true when it consumed the key.
    bool handleKeyDown(const QKeyEvent& event);

    ClipboardHistory& history() { return *m_history; }
    ThemeManager& themeManager() { return *m_theme; }
    hotkeys::Registry& shortcuts() { return *m_shortcuts; }
    UpdateManager* updateManager() const { return m_updates.get(); }
    // The popover, built on first use: a program that only records keeps
    // its widgets, fonts and their code out of memory (about 4.5 MiB).
    PopoverWindow* popover();
    bool isPopoverBuilt() const { return m_popover; }
    // Called with the popover once it is built, before it is first shown.
    void whenPopoverBuilt(std::function<void(PopoverWindow&)> handler)
    {
        m_popoverBuilt = std::move(handler);
    }
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    SettingsView* settingsWindow() const { return m_settings; }
    bool hasKeyMonitor() const { return m_keyMonitor != nullptr; }

Q_SIGNALS:
    // "Quit Ondrel" was chosen.
    void quitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class KeyMonitor;
    void setupTrayIcon();
    void addKeyMonitor();
    void removeKeyMonitor();
    void closePopover();
    void closeAfterCopy();
    void openSettingsWindow();

    Services m_services;
    std::unique_ptr<ClipboardHistory> m_history;
    std::unique_ptr<ThemeManager> m_theme;
    std::unique_ptr<hotkeys::Registry> m_shortcuts;
    std::unique_ptr<UpdateManager> m_updates;
    QPointer<QSystemTrayIcon> m_trayIcon;
    std::unique_ptr<QMenu> m_trayMenu; // the menu a StatusNotifier host shows (not on X11)
    QPointer<PopoverWindow> m_popover;
    std::function<void(PopoverWindow&)> m_popoverBuilt;
    QPointer<SettingsView> m_settings;
    KeyMonitor* m_keyMonitor = nullptr;
    std::optional<hotkeys::Name> m_hotkey;
};

} // namespace ondrel
