#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QMetaType>
#include <QString>

#include "Modifiers.h"

#include <optional>

// Global hotkeys: named slots, the key combinations stored for them, their
// registration with the system, their display and the recorder control.
namespace ondrel::hotkeys {

// The modifier encodings, under the names this subsystem has always used.
namespace ModifierFlags = platform::ModifierFlags;
namespace StoredModifiers = platform::StoredModifiers;

// Only shift, control, option, command and fn have a counterpart.
qint64 storedFromFlags(quint64 flags);
quint64 flagsFromStored(qint64 stored);

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
    Shortcut(qint64 keyCode, qint64 storedModifiers) : m_keyCode(keyCode), m_storedModifiers(storedModifiers)
    {}
    // Only the five modifiers with a stored bit survive.
    Shortcut(Key key, quint64 modifierFlags);
    // Key events only (key down 10, key up 11); fn is dropped.
    static std::optional<Shortcut> fromEvent(int eventType, qint64 keyCode, quint64 modifierFlags);

    qint64 keyCode() const { return m_keyCode; }
    qint64 storedModifiers() const { return m_storedModifiers; }
    Key key() const { return Key{m_keyCode}; }
    quint64 modifiers() const { return flagsFromStored(m_storedModifiers); }

    // {"keyCode":9,"modifiers":768}
    QByteArray toJson() const;
    // Members in any order, both required, both integers.
    static std::optional<Shortcut> fromJson(QByteArrayView json);

    friend bool operator==(const Shortcut&, const Shortcut&) = default;

private:
    qint64 m_keyCode;
    qint64 m_storedModifiers;
};

inline size_t qHash(const Shortcut& s, size_t seed = 0)
{
    return qHashMulti(seed, s.keyCode(), s.storedModifiers());
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
    QString settingsKey() const;

    friend bool operator==(const Name& a, const Name& b) { return a.m_rawValue == b.m_rawValue; }

private:
    QString m_rawValue;
    std::optional<Shortcut> m_default;
};

inline size_t qHash(const Name& n, size_t seed = 0)
{
    return qHash(n.rawValue(), seed);
}

} // namespace ondrel::hotkeys

Q_DECLARE_METATYPE(ondrel::hotkeys::Name)
