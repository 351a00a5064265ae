#include "HotKeyRegistrations.h"

#include <algorithm>
#include <limits>

namespace ondrel::hotkeys {

using platform::HotKeyService;
using platform::HotKeyStatus;

namespace {
bool fitsUInt32(qint64 v)
{
    return v >= 0 && v <= qint64(std::numeric_limits<quint32>::max());
}
} // namespace

HotKeyRegistrations::HotKeyRegistrations(HotKeyService& service,
                                         std::function<QString(const Shortcut&)> describe,
                                         std::function<void(const QString&)> console)
    : m_service(service), m_describe(std::move(describe)), m_console(std::move(console))
{
    // A hotkey lost to another program is reported as a failed registration
    // and forgotten, like one refused when registered again.
    m_service.setLostHandler([this](quint32 id, HotKeyStatus status) {
        const auto it = m_hotKeys.find(qint64(id));
        if (it == m_hotKeys.end())
            return;
        const Shortcut shortcut = it->second.shortcut;
        m_hotKeys.erase(it);
        reportFailure(shortcut, status);
    });
}

HotKeyRegistrations::~HotKeyRegistrations()
{
    m_service.setLostHandler({});
}

void HotKeyRegistrations::reportFailure(const Shortcut& shortcut, HotKeyStatus status) const
{
    if (m_console)
        m_console(QStringLiteral("Error registering hotkey ") + m_describe(shortcut) + QStringLiteral(": ") +
                  QString::number(platform::consoleCode(status)));
}

void HotKeyRegistrations::registerShortcut(const Shortcut& shortcut, Callback onKeyDown, Callback onKeyUp)
{
    const qint64 id = ++m_hotKeyId;
    // Edited stored values can hold anything: never hand the system a value
    // it cannot represent.
    if (!fitsUInt32(shortcut.keyCode()) || !fitsUInt32(shortcut.storedModifiers()) || !fitsUInt32(id)) {
        reportFailure(shortcut, HotKeyStatus::invalid);
        return;
    }
    const auto result = m_service.registerHotKey(quint32(shortcut.keyCode()),
                                                 quint32(shortcut.storedModifiers()), quint32(id));
    if (result.status != HotKeyStatus::ok || !result.reference) {
        reportFailure(shortcut, result.status);
        return;
    }
    m_hotKeys.insert_or_assign(
        id, HotKey{shortcut, id, result.reference, std::move(onKeyDown), std::move(onKeyUp)});
    if (!m_eventHandler) {
        m_service.setHotKeyHandler([this](quint32 hotKeyId, HotKeyService::Phase phase) {
            return handleHotKeyEvent(hotKeyId, phase);
        });
        m_service.setRawKeyHandler([this](quint32 keyCode, quint32 modifiers, HotKeyService::Phase phase) {
            return handleRawKeyEvent(keyCode, modifiers, phase);
        });
        m_eventHandler = true;
        updateEventHandler();
    }
}

void HotKeyRegistrations::unregisterShortcut(const Shortcut& shortcut)
{
    for (auto it = m_hotKeys.begin(); it != m_hotKeys.end();) {
        if (it->second.shortcut == shortcut) {
            if (it->second.reference)
                m_service.unregisterHotKey(*it->second.reference);
            it = m_hotKeys.erase(it);
        } else {
            ++it;
        }
    }
}

void HotKeyRegistrations::registerAll()
{
    for (auto it = m_hotKeys.begin(); it != m_hotKeys.end();) {
        HotKey& record = it->second;
        if (record.reference) {
            ++it;
            continue;
        }
        const auto result = m_service.registerHotKey(quint32(record.shortcut.keyCode()),
                                                     quint32(record.shortcut.storedModifiers()),
                                                     quint32(record.registrationId));
        if (result.status == HotKeyStatus::ok && result.reference) {
            record.reference = result.reference;
            ++it;
        } else {
            reportFailure(record.shortcut, result.status);
            it = m_hotKeys.erase(it);
        }
    }
}

void HotKeyRegistrations::updateEventHandler()
{
    if (!m_eventHandler)
        return;
    if (m_enabled && (!m_menuOpen || m_service.keepsHotKeysInMenus())) {
        registerAll();
        m_service.setRawKeyEventsEnabled(false);
        m_service.setHotKeyEventsEnabled(true);
        return;
    }
    for (auto& [id, record] : m_hotKeys) {
        if (record.reference) {
            m_service.unregisterHotKey(*record.reference);
            record.reference.reset();
        }
    }
    m_service.setHotKeyEventsEnabled(false);
    m_service.setRawKeyEventsEnabled(m_enabled && m_menuOpen);
}

void HotKeyRegistrations::setMenuOpen(bool open)
{
    if (open == m_menuOpen)
        return;
    m_menuOpen = open;
    updateEventHandler();
}

void HotKeyRegistrations::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    updateEventHandler();
}

bool HotKeyRegistrations::handleHotKeyEvent(quint32 id, HotKeyService::Phase phase)
{
    const auto it = m_hotKeys.find(qint64(id));
    if (it == m_hotKeys.end())
        return false;
    // Callbacks may change the table: work on a copy of the record.
    const HotKey record = it->second;
    const Callback& callback = phase == HotKeyService::Phase::pressed ? record.onKeyDown : record.onKeyUp;
    if (callback)
        callback(record.shortcut);
    return true;
}

bool HotKeyRegistrations::handleRawKeyEvent(quint32 keyCode, quint32 modifiers, HotKeyService::Phase phase)
{
    const qint64 normalised = storedFromFlags(flagsFromStored(qint64(modifiers)));
    for (const auto& [id, record] : m_hotKeys) {
        if (record.shortcut.keyCode() != qint64(keyCode) || record.shortcut.storedModifiers() != normalised)
            continue;
        const HotKey copy = record;
        const Callback& callback = phase == HotKeyService::Phase::pressed ? copy.onKeyDown : copy.onKeyUp;
        if (callback)
            callback(copy.shortcut);
        return true;
    }
    return false;
}

bool HotKeyRegistrations::isHeld(const Shortcut& shortcut) const
{
    return std::any_of(m_hotKeys.begin(), m_hotKeys.end(), [&](const auto& entry) {
        return entry.second.shortcut == shortcut && entry.second.reference;
    });
}

bool HotKeyRegistrations::isSystemShortcut(const Shortcut& shortcut) const
{
    if (!fitsUInt32(shortcut.keyCode()) || !fitsUInt32(shortcut.storedModifiers()))
        return false;
    // Our own registrations are not the system's.
    for (const auto& [id, record] : m_hotKeys)
        if (record.shortcut == shortcut)
            return false;
    const qint64 normalised = storedFromFlags(flagsFromStored(shortcut.storedModifiers()));
    return m_service.isTakenElsewhere(quint32(shortcut.keyCode()), quint32(normalised));
}

} // namespace ondrel::hotkeys
