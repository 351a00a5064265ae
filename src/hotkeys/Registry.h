#pragma once

#include "HotKeyRegistrations.h"
#include "Shortcut.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <functional>
#include <memory>

namespace ondrel::platform {
class HotKeyService;
class KeyboardLayout;
class Settings;
} // namespace ondrel::platform

namespace ondrel::hotkeys {

inline const QString kShortcutByNameDidChange = QStringLiteral("KeyboardShortcuts_shortcutByNameDidChange");
inline const QString kRecorderActiveStatusDidChange =
    QStringLiteral("KeyboardShortcuts_recorderActiveStatusDidChange");

enum class EventType
{
    keyDown,
    keyUp
};

// The named hotkeys of the program: their stored shortcuts, the callbacks
// attached to them, and the registrations that follow the stored values.
// Its signals are the subsystem's notifications.
class Registry final : public QObject
{
    Q_OBJECT
public:
    Registry(platform::Settings& settings, platform::HotKeyService& hotKeys,
             const platform::KeyboardLayout& layout, std::function<void(const QString&)> console = {},
             QObject* parent = nullptr);
    ~Registry() override;

    // A Name with a default writes (and registers) the default on a first
    // start, when nothing at all is stored for it.
    Name makeName(const QString& rawValue, std::optional<Shortcut> defaultShortcut = std::nullopt);

    bool hasStoredValue(const Name& name) const;
    std::optional<Shortcut> getShortcut(const Name& name) const;
    void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name);
    void storeShortcut(const Shortcut& shortcut, const Name& name);
    void reset(const QList<Name>& names);
    void resetAll();

    void onKeyDown(const Name& name, std::function<void()> action);
    void onKeyUp(const Name& name, std::function<void()> action);
    void removeHandler(const Name& name);
    void removeAllHandlers();
    // An event stream of one Name; ends with removeStream(token).
    quint64 addStream(const Name& name, std::function<void(EventType)> consumer);
    void removeStream(quint64 token);

    void enable(const QList<Name>& names);
    void disable(const QList<Name>& names);
    bool isEnabled(const Name& name) const;
    bool isEnabled() const { return m_registrations.isEnabled(); }
    void setEnabled(bool enabled) { m_registrations.setEnabled(enabled); }
    bool isPaused() const { return m_paused; }
    void setPaused(bool paused) { m_paused = paused; }
    bool isMenuOpen() const { return m_registrations.isMenuOpen(); }
    // One of our menus took or gave back the keyboard.
    void menuDidBeginTracking();
    void menuDidEndTracking();
    // Follows every QMenu of the application opening and closing.
    void trackApplicationMenus();

    const QSet<Shortcut>& registeredShortcuts() const { return m_registered; }
    HotKeyRegistrations& registrations() { return m_registrations; }
    const platform::KeyboardLayout& layout() const { return m_layout; }
    QString description(const Shortcut& shortcut) const;
    // "Shift+Super+V": what scripts and the console read.
    QString label(const Shortcut& shortcut) const;
    // The same in the user's language: the recorder and its alerts.
    QString shownLabel(const Shortcut& shortcut) const;

    // What the recorder announces while it records.
    void postRecorderActiveStatus(bool isActive) { Q_EMIT recorderActiveStatusDidChange(isActive); }

Q_SIGNALS:
    void shortcutByNameDidChange(const ondrel::hotkeys::Name& name);
    void recorderActiveStatusDidChange(bool isActive);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void registerShortcut(const Shortcut& shortcut);
    void dispatch(const Shortcut& shortcut, EventType type);
    // Unregisters a shortcut no remaining Name with handlers uses.
    void unregisterIfUnused(const Shortcut& shortcut);

    platform::Settings& m_settings;
    const platform::KeyboardLayout& m_layout;
    HotKeyRegistrations m_registrations;
    QSet<Shortcut> m_registered;
    QHash<Name, QList<std::function<void()>>> m_keyDown;
    QHash<Name, QList<std::function<void()>>> m_keyUp;
    struct Stream
    {
        Name name;
        std::function<void(EventType)> consumer;
    };
    std::map<quint64, Stream> m_streams;
    quint64 m_nextStream = 1;
    bool m_paused = false;
    QSet<QObject*> m_openMenus;
    bool m_tracking = false;
};

} // namespace ondrel::hotkeys
