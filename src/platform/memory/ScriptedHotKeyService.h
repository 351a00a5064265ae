#pragma once

#include "HotKeyService.h"

#include <QList>
#include <QSet>

#include <map>

namespace ondrel::platform {

// A hotkey service driven by the test: it records what is registered,
// refuses what it is told to refuse, and delivers presses on demand.
class ScriptedHotKeyService final : public HotKeyService
{
public:
    struct Grab
    {
        quint32 keyCode;
        quint32 modifiers;
        quint32 id;
    };

    Registration registerHotKey(quint32 keyCode, quint32 modifiers, quint32 id) override;
    // A desktop that gives no global hotkeys, and says why.
    void setUnavailableReason(QString reason)
    {
        m_unavailableReason = std::move(reason);
        if (m_descriptionHandler)
            m_descriptionHandler();
    }
    QString unavailableReason() const override { return m_unavailableReason; }
    // A desktop that binds the hotkeys itself.
    void setAssignedTriggers(QString triggers)
    {
        m_assigned = std::move(triggers);
        if (m_descriptionHandler)
            m_descriptionHandler();
    }
    QString assignedTriggers() const override { return m_assigned; }
    void setDescriptionHandler(DescriptionHandler handler) override
    {
        m_descriptionHandler = std::move(handler);
    }
    void unregisterHotKey(quint64 reference) override;
    void setHotKeyHandler(HotKeyHandler handler) override { m_hotKeyHandler = std::move(handler); }
    void setRawKeyHandler(RawKeyHandler handler) override { m_rawKeyHandler = std::move(handler); }
    void setHotKeyEventsEnabled(bool enabled) override { m_hotKeyEvents = enabled; }
    void setRawKeyEventsEnabled(bool enabled) override { m_rawKeyEvents = enabled; }
    bool isTakenElsewhere(quint32 keyCode, quint32 modifiers) override;

    // Every registration attempt from now on fails with `status` (ok: none fail).
    void failRegistrations(HotKeyStatus status) { m_failStatus = status; }
    // Another program holds this combination.
    void takeElsewhere(quint32 keyCode, quint32 modifiers);
    // ...but registering it still succeeds, as where the system lets a
    // program override another's shortcut.
    void allowDespiteElsewhere(quint32 keyCode, quint32 modifiers);

    // The combinations now registered, by reference.
    const std::map<quint64, Grab>& grabs() const { return m_grabs; }
    int registrationCount() const { return m_attempts; }
    QList<quint32> attemptedIds() const { return m_attemptedIds; }
    bool hotKeyEventsEnabled() const { return m_hotKeyEvents; }
    bool rawKeyEventsEnabled() const { return m_rawKeyEvents; }

    // The user presses or releases a registered combination: the hotkey
    // event goes out when hotkey events are on and a grab matches.
    // Answers whether the handler used it, or none when nothing was delivered.
    std::optional<bool> press(quint32 keyCode, quint32 modifiers, Phase phase);
    // An event with any id, as the system could send.
    std::optional<bool> sendHotKeyEvent(quint32 id, Phase phase);
    // A key typed into our own menu.
    std::optional<bool> typeInMenu(quint32 keyCode, quint32 modifiers, Phase phase);

private:
    HotKeyHandler m_hotKeyHandler;
    RawKeyHandler m_rawKeyHandler;
    bool m_hotKeyEvents = false;
    bool m_rawKeyEvents = false;
    HotKeyStatus m_failStatus = HotKeyStatus::ok;
    QSet<quint64> m_overridable;
    int m_attempts = 0;
    quint64 m_nextReference = 1;
    std::map<quint64, Grab> m_grabs;
    QList<quint32> m_attemptedIds;
    QSet<quint64> m_elsewhere;
    QString m_unavailableReason;
    QString m_assigned;
    DescriptionHandler m_descriptionHandler;
};

} // namespace ondrel::platform
