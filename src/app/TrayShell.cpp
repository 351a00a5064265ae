#include "TrayShell.h"

#include "StatusMenu.h"
#include "Tracing.h"

namespace ondrel {

TrayShell::TrayShell(Services services)
    : m_history({services.settings, services.scheduler, services.clipboard, services.pasteTyper,
                 services.focus, services.historyFile, services.selection}),
      m_theme(services.settings, services.colorScheme),
      m_shortcuts(services.settings, services.hotKeys, services.layout),
      m_settings({services.settings, services.scheduler, services.autostart, services.alerts,
                  services.updater, services.version, m_history.store, services.focus},
                 m_theme, m_shortcuts, hotkeys::Name(kHotkeyName, kDefaultHotkey)),
      m_popover(
          {services.scheduler, services.clipboard, services.pasteTyper, services.focus, services.settings},
          m_history.store, m_history.state, m_history.paster, m_history.watcher, m_theme),
      m_tray({m_popover, m_settings, m_history.store, m_history.watcher, services.scheduler},
             services.trayIcon),
      m_service({m_history.store, m_history.paster, m_history.watcher, m_popover, services.focus,
                 [this, desktop = services.desktop, file = services.historyFile] {
                     commands::Status status;
                     status.desktop = desktop;
                     status.historyPath = file ? file->filePath() : QString();
                     const auto shortcut = m_shortcuts.getShortcut(hotkeys::Name(kHotkeyName));
                     auto& registrations = m_shortcuts.registrations();
                     if (registrations.desktopAssignsKeys())
                         status.hotkey = registrations.assignedTriggers();
                     else if (shortcut && registrations.isHeld(*shortcut))
                         status.hotkey = m_shortcuts.label(*shortcut);
                     return status;
                 }})
{
    m_popover.setAnchor([this] { return m_tray.trayIcon() ? m_tray.trayIcon()->geometry() : QRect(); });
    // The tray's menu is made when it opens; its keys count as ours.
    m_settings.setMenuBuilder([this] { return std::unique_ptr<QMenu>(m_tray.buildStatusMenu()); });
    ClipboardWatcher* watcher = &m_history.watcher;
    QObject::connect(watcher, &ClipboardWatcher::pausedChanged, watcher,
                     [watcher] { trace(watcher->isPaused() ? "recording-paused" : "recording-resumed"); });
    QObject::connect(watcher, &ClipboardWatcher::copyLeftOut, watcher, [] { trace("copy-left-out"); });
    QObject::connect(&m_theme, &ThemeManager::darkChanged, &m_theme,
                     [](bool dark) { trace(dark ? "look-dark" : "look-light"); });
}

void TrayShell::start()
{
    m_tray.start();
    const hotkeys::Name hotkey = m_shortcuts.makeName(kHotkeyName, kDefaultHotkey);
    m_shortcuts.onKeyDown(hotkey, [popover = QPointer<PopoverController>(&m_popover)] {
        if (popover)
            popover->hotkeyPressed();
    });
    m_shortcuts.onKeyUp(hotkey, [popover = QPointer<PopoverController>(&m_popover)] {
        if (popover)
            popover->hotkeyReleased();
    });
    m_history.watcher.startMonitoring();
    if (m_history.selections)
        m_history.selections->startMonitoring();
    m_settings.start();
}

void TrayShell::shutdown()
{
    m_history.watcher.stopMonitoring();
    if (m_history.selections)
        m_history.selections->stopMonitoring();
    m_popover.removeKeyMonitor();
    // A copy made just before quitting may still be read or made into an
    // entry: it is kept, unless its owner takes too long.
    m_history.watcher.finishPending(kQuitWaitMs);
    m_history.store.applyPendingInserts();
    m_history.store.waitForSaves();
}

} // namespace ondrel
