#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QMetaType>
#include <QString>

#include "Modifiers.h"

#include <optional>

// Global hotkeys: named slots, the key combinations stored for them, their
// registration with the system, their display and the recorder control.
namespace ondrel::KeyboardShortcuts {

// The modifier encodings, under the names this subsystem has always used.
namespace ModifierFlags = platform::ModifierFlags;
namespace CarbonModifiers = platform::CarbonModifiers;

// Only shift, control, option, command and fn have a counterpart.
qint64 carbonFromFlags(quint64 flags);
quint64 flagsFromCarbon(qint64 carbon);

// A virtual key code (see platform/KeyCodes.h); any integer is a Key.
struct Key
{
    qint64 rawValue = 0;
    friend bool operator==(Key, Key) = default;
};

// A key code and a set of modifiers.
class Shortcut final
{
public:
    // Stored as given.
    Shortcut(qint64 carbonKeyCode, qint64 carbonModifiers)
        : m_carbonKeyCode(carbonKeyCode), m_carbonModifiers(carbonModifiers)
    {}
    // Only the five modifiers with a stored bit survive.
    Shortcut(Key key, quint64 modifierFlags);
    // Key events only (key down 10, key up 11); fn is dropped.
    static std::optional<Shortcut> fromEvent(int eventType, qint64 keyCode, quint64 modifierFlags);

    qint64 carbonKeyCode() const { return m_carbonKeyCode; }
    qint64 carbonModifiers() const { return m_carbonModifiers; }
    Key key() const { return Key{m_carbonKeyCode}; }
    quint64 modifiers() const { return flagsFromCarbon(m_carbonModifiers); }

    // {"carbonKeyCode":9,"carbonModifiers":768}
    QByteArray toJson() const;
    // Members in any order, both required, both integers.
    static std::optional<Shortcut> fromJson(QByteArrayView json);

    friend bool operator==(const Shortcut&, const Shortcut&) = default;

private:
    qint64 m_carbonKeyCode;
    qint64 m_carbonModifiers;
};

inline size_t qHash(const Shortcut& s, size_t seed = 0)
{
    return qHashMulti(seed, s.carbonKeyCode(), s.carbonModifiers());
}

inline constexpr int kKeyDownEvent = 10;
inline constexpr int kKeyUpEvent = 11;

// A named hotkey slot. Names are equal when their raw values are.
class Name final
{
public:
    Name() = default; // an empty name, for containers and signal arguments
    explicit Name(QString rawValue, std::optional<Shortcut> defaultShortcut = std::nullopt)
        : m_rawValue(std::move(rawValue)), m_default(defaultShortcut)
    {}
    const QString& rawValue() const { return m_rawValue; }
    const std::optional<Shortcut>& defaultShortcut() const { return m_default; }
    // "KeyboardShortcuts_" + raw value.
    QString userDefaultsKey() const;

    friend bool operator==(const Name& a, const Name& b) { return a.m_rawValue == b.m_rawValue; }

private:
    QString m_rawValue;
    std::optional<Shortcut> m_default;
};

inline size_t qHash(const Name& n, size_t seed = 0)
{
    return qHash(n.rawValue(), seed);
}

} // namespace ondrel::KeyboardShortcuts

Q_DECLARE_METATYPE(ondrel::KeyboardShortcuts::Name)
