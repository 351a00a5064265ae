#pragma once

#include <QString>
#include <QVariant>

#include <array>
#include <utility>

// Every name the program stores in the settings file, in one place.
namespace ondrel::keys {

// Entries kept in the history (25, 50, 100 or 200; 50 when unset).
inline const QString maxHistoryItems = QStringLiteral("history/maxItems");
// Applications whose copies are never recorded nor kept: a list of the ids
// a desktop gives them (desktop-entry id, X11 WM_CLASS class or instance,
// Wayland app_id) or the names the history shows, compared without regard
// to case.
inline const QString excludedApplications = QStringLiteral("history/excludedApplications");
// Copies with more data than this many bytes are not recorded (64 MiB when
// unset). 0 means no limit of one's own; platform::kMaxEntryBytes (128 MiB),
// which keeps an owner that never stops sending from filling the memory,
// holds whatever is set, and larger values are taken as it.
inline const QString maxEntryBytes = QStringLiteral("history/maxEntryBytes");
// Also record text selected with the mouse (X11's PRIMARY selection, Wayland's
// primary selection), once it stops changing (default false).
inline const QString recordPrimarySelection = QStringLiteral("history/recordPrimarySelection");
// The accent colour's raw name ("Tangerine", "Sky", ...).
inline const QString accentColor = QStringLiteral("appearance/accentColor");
// "System" (follow the desktop's colour scheme), "Light" or "Dark".
inline const QString appearance = QStringLiteral("appearance/look");
// Global hotkeys are stored under this prefix followed by the hotkey's name.
inline const QString shortcutPrefix = QStringLiteral("hotkeys/");

// Keep the clipboard's contents when the program that owned them exits (default true).
inline const QString keepClipboardContents = QStringLiteral("clipboard/keepContents");
// The paste chord for every window: "ctrl+v", "ctrl+shift+v" or "shift+insert";
// absent (or anything else) picks by window, terminals included.
inline const QString pasteKeystroke = QStringLiteral("paste/keystroke");
// The desktop portal's kept permission to type the paste keystroke (Wayland
// desktops without a virtual keyboard); absent until the user first allowed it.
inline const QString remoteDesktopRestoreToken = QStringLiteral("paste/portalRestoreToken");

// Update checks.
// The appcast feed to check; absent: updates come from the package manager.
inline const QString feedURL = QStringLiteral("updates/feedUrl");
// Check for updates every day.
inline const QString automaticChecks = QStringLiteral("updates/automaticChecks");
// When the feed was last read, in seconds since 1970: the day between
// automatic checks counts across launches.
inline const QString lastCheckTime = QStringLiteral("updates/lastCheckTime");
// Download (here: announce) updates without asking; also the toggle's state.
inline const QString automaticallyUpdate = QStringLiteral("updates/automaticallyUpdate");

// What a key reads as while nothing is stored under it (an invalid QVariant
// for keys without one). The one place defaults live: Settings' typed
// getters fall back to it.
QVariant defaultValue(const QString& key);

// Names that settings files written by earlier versions use, with the name
// each is read under now. A hotkey stored under the old prefix moves to
// shortcutPrefix with its name; the popover's hotkey also changed its name.
inline const std::array<std::pair<QString, QString>, 10> kFormerNames = {{
    {QStringLiteral("maxHistoryItems"), maxHistoryItems},
    {QStringLiteral("accentColor"), accentColor},
    {QStringLiteral("keepClipboardContents"), keepClipboardContents},
    {QStringLiteral("pasteKeystroke"), pasteKeystroke},
    {QStringLiteral("remoteDesktopRestoreToken"), remoteDesktopRestoreToken},
    {QStringLiteral("SUFeedURL"), feedURL},
    {QStringLiteral("SUEnableAutomaticChecks"), automaticChecks},
    {QStringLiteral("SULastCheckTime"), lastCheckTime},
    {QStringLiteral("SUAutomaticallyUpdate"), automaticallyUpdate},
    {QStringLiteral("KeyboardShortcuts_toggleBrisol"), shortcutPrefix + QStringLiteral("togglePopover")},
}};
inline const QString kFormerShortcutPrefix = QStringLiteral("KeyboardShortcuts_");

} // namespace ondrel::keys
