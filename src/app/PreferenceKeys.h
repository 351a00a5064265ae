#pragma once

#include <QString>

namespace ondrel::keys {

// Keep the clipboard's contents when the program that owned them exits (default true).
inline const QString keepClipboardContents = QStringLiteral("keepClipboardContents");
// The paste chord for every window: "ctrl+v", "ctrl+shift+v" or "shift+insert";
// absent (or anything else) picks by window, terminals included.
inline const QString pasteKeystroke = QStringLiteral("pasteKeystroke");

} // namespace ondrel::keys
