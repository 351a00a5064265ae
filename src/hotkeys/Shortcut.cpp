#include "Shortcut.h"

#include "Json.h"
#include "PreferenceKeys.h"

namespace ondrel::KeyboardShortcuts {

namespace {
struct Pair
{
    quint64 flag;
    qint64 carbon;
};
constexpr Pair kPairs[] = {
    {ModifierFlags::shift, CarbonModifiers::shift},       {ModifierFlags::control, CarbonModifiers::control},
    {ModifierFlags::option, CarbonModifiers::option},     {ModifierFlags::command, CarbonModifiers::command},
    {ModifierFlags::function, CarbonModifiers::function},
};
} // namespace

qint64 carbonFromFlags(quint64 flags)
{
    qint64 carbon = 0;
    for (const Pair& p : kPairs)
        if (flags & p.flag)
            carbon |= p.carbon;
    return carbon;
}

quint64 flagsFromCarbon(qint64 carbon)
{
    quint64 flags = 0;
    for (const Pair& p : kPairs)
        if (carbon & p.carbon)
            flags |= p.flag;
    return flags;
}

Shortcut::Shortcut(Key key, quint64 modifierFlags)
    : m_carbonKeyCode(key.rawValue), m_carbonModifiers(carbonFromFlags(modifierFlags))
{}

std::optional<Shortcut> Shortcut::fromEvent(int eventType, qint64 keyCode, quint64 modifierFlags)
{
    if (eventType != kKeyDownEvent && eventType != kKeyUpEvent)
        return std::nullopt;
    return Shortcut(Key{keyCode}, modifierFlags & ~ModifierFlags::function);
}

QByteArray Shortcut::toJson() const
{
    return "{\"carbonKeyCode\":" + QByteArray::number(m_carbonKeyCode) +
           ",\"carbonModifiers\":" + QByteArray::number(m_carbonModifiers) + '}';
}

std::optional<Shortcut> Shortcut::fromJson(QByteArrayView bytes)
{
    const auto value = json::parse(std::string_view(bytes.data(), size_t(bytes.size())));
    if (!value || !value->isObject())
        return std::nullopt;
    const json::Value* code = value->member("carbonKeyCode");
    const json::Value* modifiers = value->member("carbonModifiers");
    if (!code || !modifiers || !code->isInteger() || !modifiers->isInteger())
        return std::nullopt;
    const auto c = code->toInt64();
    const auto m = modifiers->toInt64();
    if (!c || !m)
        return std::nullopt;
    return Shortcut(*c, *m);
}

QString Name::userDefaultsKey() const
{
    return keys::shortcutPrefix + m_rawValue;
}

} // namespace ondrel::KeyboardShortcuts
