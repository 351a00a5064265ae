#include "NullServices.h"

#include <cstdio>
#include <utility>

namespace ondrel::platform {

void NullPasteTyper::typePaste()
{
    if (std::exchange(m_told, true))
        return;
    std::fprintf(stderr, "ondrel: this desktop takes no synthetic keystrokes; paste with Ctrl+V yourself\n");
}

HotKeyService::Registration NullHotKeyService::registerHotKey(quint32, quint32, quint32)
{
    if (!std::exchange(m_told, true))
        std::fprintf(stderr,
                     "ondrel: this desktop offers no global hotkeys; bind a key to `ondrel toggle`\n");
    return {HotKeyStatus::invalid, std::nullopt};
}

QString NullHotKeyService::unavailableReason() const
{
    return QStringLiteral("This desktop lets no program take a global hotkey. Bind a key to "
                          "\u201Condrel toggle\u201D in its keyboard settings.");
}

} // namespace ondrel::platform
