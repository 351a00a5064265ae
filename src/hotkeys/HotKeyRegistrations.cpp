#include "CarbonKeyboardShortcuts.h"

#include <algorithm>
#include <limits>

namespace ondrel::KeyboardShortcuts {

using platform::HotKeyService;

namespace {
bool fitsUInt32(qint64 v)
{
    return v >= 0 && v <= qint64(std::numeric_limits<quint32>::max());
}
} // namespace

CarbonKeyboardShortcuts::CarbonKeyboardShortcuts(HotKeyService& service,
                                                 std::function<QString(const Shortcut&)> describe,
                                                 std::function<void(const QString&)> console)
    : m_service(service), m_describe(std::move(describe)), m_console(std::move(console))
{
    // A hotkey lost to another program is reported as a failed registration
    // and forgotten, like one refused when registered again.
    m_service.setLostHandler([this](quint32 signature, quint32 id, int status) {
        const auto it = m_hotKeys.find(qint64(id));
        if (signature != kHotKeySignature || it == m_hotKeys.end())
            return;
        const Shortcut shortcut = it->second.shortcut;
        m_hotKeys.erase(it);
        reportFailure(shortcut, status);
    });
}

CarbonKeyboardShortcuts::~CarbonKeyboardShortcuts()
{
    m_service.setLostHandler({});
}

void CarbonKeyboardShortcuts::reportFailure(const Shortcut& shortcut, int status) const
{
    if (m_console)
        m_console(QStringLiteral("Error registering hotkey ") + m_describe(shortcut) + QStringLiteral(": ") +
                  QString::number(status));
}

void CarbonKeyboardShortcuts::registerShortcut(const Shortcut& shortcut, Callback onKeyDown, Callback onKeyUp)
{
    const qint64 id = ++m_hotKeyId;
    // Edited stored values can hold anything: never hand the system a value
    // it cannot represent.
    if (!fitsUInt32(shortcut.carbonKeyCode()) || !fitsUInt32(shortcut.carbonModifiers()) || !fitsUInt32(id)) {
        reportFailure(shortcut, HotKeyService::kParamErr);
        return;
    }
    const auto result =
        m_service.registerHotKey(quint32(shortcut.carbonKeyCode()), quint32(shortcut.carbonModifiers()),
                                 kHotKeySignature, quint32(id));
    if (result.status != HotKeyService::kNoErr || !result.reference) {
        reportFailure(shortcut, result.status);
        return;
    }
    m_hotKeys.insert_or_assign(
        id, HotKey{shortcut, id, result.reference, std::move(onKeyDown), std::move(onKeyUp)});
    if (!m_eventHandler) {
        m_service.setHotKeyHandler([this](quint32 signature, quint32 hotKeyId, HotKeyService::Phase phase) {
            return handleHotKeyEvent(signature, hotKeyId, phase);
        });
        m_service.setRawKeyHandler([this](quint32 keyCode, quint32 modifiers, HotKeyService::Phase phase) {
            return handleRawKeyEvent(keyCode, modifiers, phase);
        });
        m_eventHandler = true;
        updateEventHandler();
    }
}

void CarbonKeyboardShortcuts::unregisterShortcut(const Shortcut& shortcut)
{
    for (auto it = m_hotKeys.begin(); it != m_hotKeys.end();) {
        if (it->second.shortcut == shortcut) {
            if (it->second.carbonHotKey)
                m_service.unregisterHotKey(*it->second.carbonHotKey);
            it = m_hotKeys.erase(it);
        } else {
            ++it;
        }
    }
}

void CarbonKeyboardShortcuts::registerAll()
{
    for (auto it = m_hotKeys.begin(); it != m_hotKeys.end();) {
        HotKey& record = it->second;
        if (record.carbonHotKey) {
            ++it;
            continue;
        }
        const auto result = m_service.registerHotKey(quint32(record.shortcut.carbonKeyCode()),
                                                     quint32(record.shortcut.carbonModifiers()),
                                                     kHotKeySignature, quint32(record.carbonHotKeyId));
        if (result.status == HotKeyService::kNoErr && result.reference) {
            record.carbonHotKey = result.reference;
            ++it;
        } else {
            reportFailure(record.shortcut, result.status);
            it = m_hotKeys.erase(it);
        }
    }
}

void CarbonKeyboardShortcuts::updateEventHandler()
{
    if (!m_eventHandler)
        return;
    if (m_enabled && !m_menuOpen) {
        registerAll();
        m_service.setRawKeyEventsEnabled(false);
        m_service.setHotKeyEventsEnabled(true);
        return;
    }
    for (auto& [id, record] : m_hotKeys) {
        if (record.carbonHotKey) {
            m_service.unregisterHotKey(*record.carbonHotKey);
            record.carbonHotKey.reset();
        }
    }
    m_service.setHotKeyEventsEnabled(false);
    m_service.setRawKeyEventsEnabled(m_enabled && m_menuOpen);
}

void CarbonKeyboardShortcuts::setMenuOpen(bool open)
{
    if (open == m_menuOpen)
        return;
    m_menuOpen = open;
    updateEventHandler();
}

void CarbonKeyboardShortcuts::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    updateEventHandler();
}

int CarbonKeyboardShortcuts::handleHotKeyEvent(quint32 signature, quint32 id, HotKeyService::Phase phase)
{
    if (signature != kHotKeySignature)
        return HotKeyService::kEventNotHandledErr;
    const auto it = m_hotKeys.find(qint64(id));
    if (it == m_hotKeys.end())
        return HotKeyService::kEventNotHandledErr;
    // Callbacks may change the table: work on a copy of the record.
    const HotKey record = it->second;
    const Callback& callback = phase == HotKeyService::Phase::pressed ? record.onKeyDown : record.onKeyUp;
    if (callback)
        callback(record.shortcut);
    return HotKeyService::kNoErr;
}

int CarbonKeyboardShortcuts::handleRawKeyEvent(quint32 keyCode, quint32 modifiers, HotKeyService::Phase phase)
{
    const qint64 normalised = carbonFromFlags(flagsFromCarbon(qint64(modifiers)));
    for (const auto& [id, record] : m_hotKeys) {
        if (record.shortcut.carbonKeyCode() != qint64(keyCode) ||
            record.shortcut.carbonModifiers() != normalised)
            continue;
        const HotKey copy = record;
        const Callback& callback = phase == HotKeyService::Phase::pressed ? copy.onKeyDown : copy.onKeyUp;
        if (callback)
            callback(copy.shortcut);
        return HotKeyService::kNoErr;
    }
    return HotKeyService::kEventNotHandledErr;
}

bool CarbonKeyboardShortcuts::isHeld(const Shortcut& shortcut) const
{
    return std::any_of(m_hotKeys.begin(), m_hotKeys.end(), [&](const auto& entry) {
        return entry.second.shortcut == shortcut && entry.second.carbonHotKey;
    });
}

bool CarbonKeyboardShortcuts::isSystemShortcut(const Shortcut& shortcut) const
{
    if (!fitsUInt32(shortcut.carbonKeyCode()) || !fitsUInt32(shortcut.carbonModifiers()))
        return false;
    // Our own registrations are not the system's.
    for (const auto& [id, record] : m_hotKeys)
        if (record.shortcut == shortcut)
            return false;
    const qint64 normalised = carbonFromFlags(flagsFromCarbon(shortcut.carbonModifiers()));
    return m_service.isTakenElsewhere(quint32(shortcut.carbonKeyCode()), quint32(normalised));
}

} // namespace ondrel::KeyboardShortcuts
