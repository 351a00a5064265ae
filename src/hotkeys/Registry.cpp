#include "Registry.h"

#include "HotKeyService.h"
#include "KeyboardLayout.h"
#include "Keys.h"
#include "Settings.h"
#include "SettingsKeys.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMenu>

#include <QLoggingCategory>

namespace ondrel::hotkeys {

namespace {
Q_LOGGING_CATEGORY(lcHotkeys, "ondrel.hotkeys")

void writeToConsole(const QString& line)
{
    qCWarning(lcHotkeys).noquote() << line;
}
} // namespace

Registry::Registry(platform::Settings& settings, platform::HotKeyService& hotKeys,
                   const platform::KeyboardLayout& layout, std::function<void(const QString&)> console,
                   QObject* parent)
    : QObject(parent), m_settings(settings), m_layout(layout),
      m_registrations(
          hotKeys, [this](const Shortcut& s) { return description(s); },
          console ? std::move(console) : std::function<void(const QString&)>(writeToConsole))
{}

Registry::~Registry()
{
    if (m_tracking && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

QString Registry::label(const Shortcut& shortcut) const
{
    return linuxLabel(shortcut, m_layout);
}

QString Registry::shownLabel(const Shortcut& shortcut) const
{
    return linuxLabel(shortcut, m_layout, true);
}

QString Registry::description(const Shortcut& shortcut) const
{
    return hotkeys::description(shortcut, m_layout);
}

Name Registry::makeName(const QString& rawValue, std::optional<Shortcut> defaultShortcut)
{
    Name name(rawValue, defaultShortcut);
    if (defaultShortcut && !hasStoredValue(name))
        storeShortcut(*defaultShortcut, name);
    trackApplicationMenus(); // once: hotkeys step aside while our menus are open
    return name;
}

bool Registry::hasStoredValue(const Name& name) const
{
    return m_settings.contains(name.settingsKey());
}

std::optional<Shortcut> Registry::getShortcut(const Name& name) const
{
    const QVariant value = m_settings.value(name.settingsKey());
    // Only a string holds a shortcut: the "removed" marker and anything
    // foreign read as none.
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return Shortcut::fromJson(value.toString().toUtf8());
}

void Registry::registerShortcut(const Shortcut& shortcut)
{
    m_registrations.registerShortcut(
        shortcut, [this](const Shortcut& s) { dispatch(s, EventType::keyDown); },
        [this](const Shortcut& s) { dispatch(s, EventType::keyUp); });
    m_registered.insert(shortcut);
}

void Registry::storeShortcut(const Shortcut& shortcut, const Name& name)
{
    const QString encoded = QString::fromUtf8(shortcut.toJson());
    if (const auto old = getShortcut(name)) {
        m_registrations.unregisterShortcut(*old);
        m_registered.remove(*old);
    }
    if (!m_registered.contains(shortcut))
        registerShortcut(shortcut);
    m_settings.setString(name.settingsKey(), encoded);
    Q_EMIT shortcutByNameDidChange(name);
}

void Registry::setShortcut(const std::optional<Shortcut>& shortcut, const Name& name)
{
    if (shortcut) {
        storeShortcut(*shortcut, name);
        return;
    }
    const auto old = getShortcut(name);
    if (!old)
        return;
    if (name.defaultShortcut())
        m_settings.setBool(name.settingsKey(), false); // keeps the default from coming back
    else
        m_settings.remove(name.settingsKey());
    m_registrations.unregisterShortcut(*old);
    m_registered.remove(*old);
    Q_EMIT shortcutByNameDidChange(name);
}

void Registry::reset(const QList<Name>& names)
{
    for (const Name& name : names) {
        if (name.defaultShortcut()) {
            storeShortcut(*name.defaultShortcut(), name);
            continue;
        }
        const auto old = getShortcut(name);
        if (!old)
            continue;
        m_settings.remove(name.settingsKey());
        m_registrations.unregisterShortcut(*old);
        m_registered.remove(*old);
        Q_EMIT shortcutByNameDidChange(name);
    }
}

void Registry::resetAll()
{
    QList<Name> names;
    for (const QString& key : m_settings.allValues().keys())
        if (key.startsWith(keys::shortcutPrefix))
            names << Name(key.mid(keys::shortcutPrefix.size()));
    reset(names);
}

void Registry::onKeyDown(const Name& name, std::function<void()> action)
{
    m_keyDown[name].append(std::move(action));
    if (const auto shortcut = getShortcut(name); shortcut && !m_registered.contains(*shortcut))
        registerShortcut(*shortcut);
}

void Registry::onKeyUp(const Name& name, std::function<void()> action)
{
    m_keyUp[name].append(std::move(action));
    if (const auto shortcut = getShortcut(name); shortcut && !m_registered.contains(*shortcut))
        registerShortcut(*shortcut);
}

void Registry::unregisterIfUnused(const Shortcut& shortcut)
{
    for (const auto& [token, stream] : m_streams)
        if (getShortcut(stream.name) == shortcut)
            return;
    m_registrations.unregisterShortcut(shortcut);
    m_registered.remove(shortcut);
}

void Registry::removeHandler(const Name& name)
{
    m_keyDown.remove(name);
    m_keyUp.remove(name);
    if (const auto shortcut = getShortcut(name))
        unregisterIfUnused(*shortcut);
}

void Registry::removeAllHandlers()
{
    QSet<Name> names;
    for (auto it = m_keyDown.cbegin(); it != m_keyDown.cend(); ++it)
        names.insert(it.key());
    for (auto it = m_keyUp.cbegin(); it != m_keyUp.cend(); ++it)
        names.insert(it.key());
    m_keyDown.clear();
    m_keyUp.clear();
    for (const Name& name : names)
        if (const auto shortcut = getShortcut(name))
            unregisterIfUnused(*shortcut);
}

quint64 Registry::addStream(const Name& name, std::function<void(EventType)> consumer)
{
    const quint64 token = m_nextStream++;
    m_streams.emplace(token, Stream{name, std::move(consumer)});
    if (const auto shortcut = getShortcut(name); shortcut && !m_registered.contains(*shortcut))
        registerShortcut(*shortcut);
    return token;
}

void Registry::removeStream(quint64 token)
{
    m_streams.erase(token);
}

void Registry::enable(const QList<Name>& names)
{
    for (const Name& name : names)
        if (const auto shortcut = getShortcut(name); shortcut && !m_registered.contains(*shortcut))
            registerShortcut(*shortcut);
}

void Registry::disable(const QList<Name>& names)
{
    for (const Name& name : names)
        if (const auto shortcut = getShortcut(name)) {
            m_registrations.unregisterShortcut(*shortcut);
            m_registered.remove(*shortcut);
        }
}

bool Registry::isEnabled(const Name& name) const
{
    const auto shortcut = getShortcut(name);
    return isEnabled() && shortcut && m_registered.contains(*shortcut);
}

void Registry::dispatch(const Shortcut& shortcut, EventType type)
{
    if (m_paused)
        return;
    // The stored value is read at each event: a Name whose shortcut changed
    // no longer answers to the old combination.
    const auto& handlers = type == EventType::keyDown ? m_keyDown : m_keyUp;
    QList<std::function<void()>> toRun;
    for (auto it = handlers.cbegin(); it != handlers.cend(); ++it)
        if (getShortcut(it.key()) == shortcut)
            toRun += it.value();
    QList<std::function<void(EventType)>> streams;
    for (const auto& [token, stream] : m_streams)
        if (getShortcut(stream.name) == shortcut)
            streams << stream.consumer;
    for (const auto& action : toRun)
        action();
    for (const auto& consumer : streams)
        consumer(type);
}

void Registry::menuDidBeginTracking()
{
    m_registrations.setMenuOpen(true);
}

void Registry::menuDidEndTracking()
{
    m_registrations.setMenuOpen(false);
}

void Registry::trackApplicationMenus()
{
    if (m_tracking || !QCoreApplication::instance())
        return;
    m_tracking = true;
    QCoreApplication::instance()->installEventFilter(this);
}

bool Registry::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
        if (auto* menu = qobject_cast<QMenu*>(watched)) {
            // A window hears of showing and hiding more than once, and
            // submenus open inside their parent's tracking: follow the set
            // of open menus.
            const bool wasOpen = !m_openMenus.isEmpty();
            if (event->type() == QEvent::Show && !m_openMenus.contains(menu)) {
                m_openMenus.insert(menu);
                connect(menu, &QObject::destroyed, this, [this, menu] {
                    if (m_openMenus.remove(menu) && m_openMenus.isEmpty())
                        menuDidEndTracking();
                });
            } else if (event->type() == QEvent::Hide && m_openMenus.remove(menu)) {
                disconnect(menu, &QObject::destroyed, this, nullptr);
            }
            if (!wasOpen && !m_openMenus.isEmpty())
                menuDidBeginTracking();
            else if (wasOpen && m_openMenus.isEmpty())
                menuDidEndTracking();
        }
    return QObject::eventFilter(watched, event);
}

} // namespace ondrel::hotkeys
