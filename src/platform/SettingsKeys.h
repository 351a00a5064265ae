#pragma once

#include <QString>

// Every name the program stores in the settings file, in one place.
namespace ondrel::keys {

// Entries kept in the history (25, 50, 100 or 200; 50 when unset).
inline const QString maxHistoryItems = QStringLiteral("maxHistoryItems");
// The accent colour's raw name ("Tangerine", "Sky", ...).
inline const QString accentColor = QStringLiteral("accentColor");
// Global hotkeys are stored under this prefix followed by the hotkey's name.
inline const QString shortcutPrefix = QStringLiteral("KeyboardShortcuts_");

// Keep the clipboard's contents when the program that owned them exits (default true).
inline const QString keepClipboardContents = QStringLiteral("keepClipboardContents");
// The paste chord for every window: "ctrl+v", "ctrl+shift+v" or "shift+insert";
// absent (or anything else) picks by window, terminals included.
inline const QString pasteKeystroke = QStringLiteral("pasteKeystroke");
// The desktop portal's kept permission to type the paste keystroke (Wayland
// desktops without a virtual keyboard); absent until the user first allowed it.
inline const QString remoteDesktopRestoreToken = QStringLiteral("remoteDesktopRestoreToken");

// Update checks. The names are those of the appcast updater family the
// settings file has always used ("SU" prefix), so existing files keep working.
// The appcast feed to check; absent: updates come from the package manager.
inline const QString feedURL = QStringLiteral("SUFeedURL");
// Check for updates every day.
inline const QString automaticChecks = QStringLiteral("SUEnableAutomaticChecks");
// When the feed was last read, in seconds since 1970: the day between
// automatic checks counts across launches.
inline const QString lastCheckTime = QStringLiteral("SULastCheckTime");
// Download (here: announce) updates without asking; also the toggle's state.
inline const QString automaticallyUpdate = QStringLiteral("SUAutomaticallyUpdate");

} // namespace ondrel::keys
