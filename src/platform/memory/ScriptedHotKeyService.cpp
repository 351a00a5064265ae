#include "ScriptedHotKeyService.h"

namespace ondrel::platform {

namespace {
quint64 comboKey(quint32 keyCode, quint32 modifiers)
{
    return (quint64(keyCode) << 32) | modifiers;
}
} // namespace

HotKeyService::Registration ScriptedHotKeyService::registerHotKey(quint32 keyCode, quint32 modifiers,
                                                                  quint32 id)
{
    ++m_attempts;
    m_attemptedIds << id;
    if (m_failStatus != HotKeyStatus::ok)
        return {m_failStatus, std::nullopt};
    if (m_elsewhere.contains(comboKey(keyCode, modifiers)) &&
        !m_overridable.contains(comboKey(keyCode, modifiers)))
        return {HotKeyStatus::taken, std::nullopt};
    const quint64 reference = m_nextReference++;
    m_grabs[reference] = {keyCode, modifiers, id};
    return {HotKeyStatus::ok, reference};
}

void ScriptedHotKeyService::unregisterHotKey(quint64 reference)
{
    m_grabs.erase(reference);
}

bool ScriptedHotKeyService::isTakenElsewhere(quint32 keyCode, quint32 modifiers)
{
    return m_elsewhere.contains(comboKey(keyCode, modifiers));
}

void ScriptedHotKeyService::takeElsewhere(quint32 keyCode, quint32 modifiers)
{
    m_elsewhere.insert(comboKey(keyCode, modifiers));
}

void ScriptedHotKeyService::allowDespiteElsewhere(quint32 keyCode, quint32 modifiers)
{
    m_overridable.insert(comboKey(keyCode, modifiers));
}

std::optional<bool> ScriptedHotKeyService::press(quint32 keyCode, quint32 modifiers, Phase phase)
{
    if (!m_hotKeyEvents || !m_hotKeyHandler)
        return std::nullopt;
    for (const auto& [reference, grab] : m_grabs)
        if (grab.keyCode == keyCode && grab.modifiers == modifiers)
            return m_hotKeyHandler(grab.id, phase);
    return std::nullopt;
}

std::optional<bool> ScriptedHotKeyService::sendHotKeyEvent(quint32 id, Phase phase)
{
    if (!m_hotKeyEvents || !m_hotKeyHandler)
        return std::nullopt;
    return m_hotKeyHandler(id, phase);
}

std::optional<bool> ScriptedHotKeyService::typeInMenu(quint32 keyCode, quint32 modifiers, Phase phase)
{
    if (!m_rawKeyEvents || !m_rawKeyHandler)
        return std::nullopt;
    return m_rawKeyHandler(keyCode, modifiers, phase);
}

} // namespace ondrel::platform
