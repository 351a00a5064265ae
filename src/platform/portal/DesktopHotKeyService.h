#pragma once

#include "HotKeyService.h"

#include <QCoreApplication>
#include <QString>

namespace ondrel::platform {

// What the hotkey services share where the desktop binds the keys itself
// (its portal, KDE's shortcut service): nothing is grabbed or probed, no
// menu keys are seen, and the desktop names the keys and reports presses.
class DesktopHotKeyService : public HotKeyService
{
public:
    void setHotKeyHandler(HotKeyHandler handler) override { m_handler = std::move(handler); }
    void setRawKeyHandler(RawKeyHandler) override {}
    void setHotKeyEventsEnabled(bool enabled) override { m_enabled = enabled; }
    void setRawKeyEventsEnabled(bool) override {}
    bool keepsHotKeysInMenus() const override { return true; }
    void setLostHandler(LostHandler handler) override { m_lost = std::move(handler); }
    bool isTakenElsewhere(quint32, quint32) override { return false; }
    QString unavailableReason() const override { return m_failure; }
    bool desktopAssignsKeys() const override { return true; }
    void setDescriptionHandler(DescriptionHandler handler) override { m_described = std::move(handler); }

protected:
    // A shortcut's name at the desktop, which keeps the user's choices under
    // it: it must not change. The number in the middle is a tag earlier
    // versions registered with; desktops keep it in their shortcut files.
    static QString shortcutName(quint32 id) { return QStringLiteral("hotkey-1213617233-%1").arg(id); }
    // What the desktop's shortcut settings list the hotkey as.
    static QString hotKeyDescription()
    {
        return QCoreApplication::translate("ondrel::platform::HotKeys", "Show the clipboard history");
    }
    // The reason given where the desktop took the hotkey but gave it no keys.
    static QString noKeyYet()
    {
        return QCoreApplication::translate(
            "ondrel::platform::HotKeys", "The desktop has not given this hotkey a key yet. Choose one in its "
                                         "keyboard settings, or bind a key to \u201Condrel toggle\u201D.");
    }
    bool delivering() const { return m_enabled && m_handler; }
    void describe()
    {
        if (m_described)
            m_described();
    }

    HotKeyHandler m_handler;
    LostHandler m_lost;
    QString m_failure; // why there is no working hotkey, for the settings
private:
    DescriptionHandler m_described;
    bool m_enabled = true;
};

} // namespace ondrel::platform
