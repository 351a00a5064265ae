#include "NullServices.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <utility>

Q_LOGGING_CATEGORY(lcHeadless, "ondrel.headless")

namespace ondrel::platform {

void NullPasteTyper::typePaste()
{
    if (!std::exchange(m_told, true))
        qCWarning(lcHeadless).noquote()
            << "ondrel: this desktop takes no synthetic keystrokes; paste with Ctrl+V yourself";
    typed();
}

HotKeyService::Registration NullHotKeyService::registerHotKey(quint32, quint32, quint32)
{
    if (!std::exchange(m_told, true))
        qCWarning(lcHeadless).noquote()
            << "ondrel: this desktop offers no global hotkeys; bind a key to `ondrel toggle`";
    return {HotKeyStatus::invalid, std::nullopt};
}

QString NullHotKeyService::unavailableReason() const
{
    return QCoreApplication::translate("ondrel::platform::HotKeys",
                                       "This desktop lets no program take a global hotkey. Bind a key to "
                                       "\u201Condrel toggle\u201D in its keyboard settings.");
}

} // namespace ondrel::platform
