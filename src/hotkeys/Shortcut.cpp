#include "Shortcut.h"

#include "Json.h"
#include "SettingsKeys.h"

namespace ondrel::hotkeys {

namespace {
struct Pair
{
    quint64 flag;
    qint64 stored;
};
constexpr Pair kPairs[] = {
    {ModifierFlags::shift, StoredModifiers::shift},       {ModifierFlags::control, StoredModifiers::control},
    {ModifierFlags::option, StoredModifiers::option},     {ModifierFlags::command, StoredModifiers::command},
    {ModifierFlags::function, StoredModifiers::function},
};
} // namespace

qint64 storedFromFlags(quint64 flags)
{
    qint64 stored = 0;
    for (const Pair& p : kPairs)
        if (flags & p.flag)
            stored |= p.stored;
    return stored;
}

quint64 flagsFromStored(qint64 stored)
{
    quint64 flags = 0;
    for (const Pair& p : kPairs)
        if (stored & p.stored)
            flags |= p.flag;
    return flags;
}

Shortcut::Shortcut(Key key, quint64 modifierFlags)
    : m_keyCode(key.rawValue), m_storedModifiers(storedFromFlags(modifierFlags))
{}

std::optional<Shortcut> Shortcut::fromEvent(int eventType, qint64 keyCode, quint64 modifierFlags)
{
    if (eventType != kKeyDownEvent && eventType != kKeyUpEvent)
        return std::nullopt;
    return Shortcut(Key{keyCode}, modifierFlags & ~ModifierFlags::function);
}

QByteArray Shortcut::toJson() const
{
    return "{\"keyCode\":" + QByteArray::number(m_keyCode) +
           ",\"modifiers\":" + QByteArray::number(m_storedModifiers) + '}';
}

std::optional<Shortcut> Shortcut::fromJson(QByteArrayView bytes)
{
    const auto value = json::parse(std::string_view(bytes.data(), size_t(bytes.size())));
    if (!value || !value->isObject())
        return std::nullopt;
    const json::Value* code = value->member("keyCode");
    const json::Value* modifiers = value->member("modifiers");
    // The member names settings files written before the rename used.
    if (!code && !modifiers) {
        code = value->member("carbonKeyCode");
        modifiers = value->member("carbonModifiers");
    }
    if (!code || !modifiers || !code->isInteger() || !modifiers->isInteger())
        return std::nullopt;
    const auto c = code->toInt64();
    const auto m = modifiers->toInt64();
    if (!c || !m)
        return std::nullopt;
    return Shortcut(*c, *m);
}

QString Name::settingsKey() const
{
    return keys::shortcutPrefix + m_rawValue;
}

} // namespace ondrel::hotkeys
