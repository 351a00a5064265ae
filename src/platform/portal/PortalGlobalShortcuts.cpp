#include "PortalGlobalShortcuts.h"
#include "PortalRequest.h"

#include "KeyCodes.h"
#include "Modifiers.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace ondrel::platform {

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const char* const kNotGiven = QT_TRANSLATE_NOOP(
    "ondrel::platform::HotKeys", "The desktop did not give Ondrel a global hotkey. Bind a key to "
                                 "\u201Condrel toggle\u201D in its keyboard settings.");
// Qt D-Bus compares slot names as written, unnormalised: a space after a
// comma and the connection silently fails. Kept out of the formatter's reach.
// clang-format off
#define ONDREL_ACTIVATED_SLOT SLOT(activated(QDBusMessage))
#define ONDREL_DEACTIVATED_SLOT SLOT(deactivated(QDBusMessage))
// clang-format on

// One shortcut as the portal takes it: its id and its properties.
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};
using PortalShortcuts = QList<PortalShortcut>;

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

// The key's name on a US keyboard (what the trigger form names keys by).
QString keyName(quint32 keyCode)
{
    static xkb_keymap* const keymap = [] {
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        xkb_rule_names names{"evdev", "pc105", "us", "", nullptr};
        return context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    }();
    const auto evdev = keycodes::evdevForKeyCode(keyCode);
    if (!keymap || !evdev)
        return {};
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, xkb_keycode_t(*evdev + keycodes::kXKeycodeOffset), 0, 0,
                                         &syms) < 1)
        return {};
    char name[64];
    if (xkb_keysym_get_name(syms[0], name, sizeof name) <= 0)
        return {};
    return QString::fromLatin1(name);
}

} // namespace

} // namespace ondrel::platform

Q_DECLARE_METATYPE(ondrel::platform::PortalShortcut)

namespace ondrel::platform {

PortalGlobalShortcuts::PortalGlobalShortcuts(QDBusConnection bus) : m_bus(std::move(bus))
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcuts>();
}

PortalGlobalShortcuts::~PortalGlobalShortcuts() = default;

std::unique_ptr<PortalGlobalShortcuts> PortalGlobalShortcuts::create(QDBusConnection bus)
{
    if (!portal::property(bus, kInterface, QStringLiteral("version")))
        return nullptr;
    std::unique_ptr<PortalGlobalShortcuts> service(new PortalGlobalShortcuts(bus));
    service->m_bus.connect(portal::kService, portal::kPath, kInterface, QStringLiteral("Activated"),
                           service.get(), ONDREL_ACTIVATED_SLOT);
    service->m_bus.connect(portal::kService, portal::kPath, kInterface, QStringLiteral("Deactivated"),
                           service.get(), ONDREL_DEACTIVATED_SLOT);
    service->createSession();
    return service;
}

void PortalGlobalShortcuts::createSession()
{
    // Answered later: start-up does not wait for the desktop.
    portal::Request::send(m_bus, kInterface, QStringLiteral("CreateSession"), {},
                          {{QStringLiteral("session_handle_token"), QStringLiteral("ondrel_hotkeys")}}, this,
                          [this](uint response, const QVariantMap& results) {
                              if (response != 0) {
                                  refused();
                                  return;
                              }
                              m_session = results.value(QStringLiteral("session_handle")).toString();
                              if (!m_shortcuts.empty())
                                  bind();
                          });
}

void PortalGlobalShortcuts::bind()
{
    if (m_session.isEmpty())
        return;
    PortalShortcuts shortcuts;
    for (const auto& [reference, s] : m_shortcuts)
        shortcuts.append({shortcutName(s.id),
                          {{QStringLiteral("description"), hotKeyDescription()},
                           {QStringLiteral("preferred_trigger"), preferredTrigger(s.keyCode, s.modifiers)}}});
    portal::Request::send(
        m_bus, kInterface, QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts), QString()}, {},
        this, [this](uint response, const QVariantMap& results) { bound(response, results); });
}

void PortalGlobalShortcuts::bound(uint response, const QVariantMap& results)
{
    // A desktop may answer "done" and bind nothing: Plasma 5.27 does so for
    // programs it cannot name (not started from a desktop entry's scope).
    // What it did not bind is lost as much as what the user declined.
    const PortalShortcuts bound =
        response == 0 ? qdbus_cast<PortalShortcuts>(results.value(QStringLiteral("shortcuts")))
                      : PortalShortcuts();
    QStringList triggers;
    for (auto it = m_shortcuts.begin(); it != m_shortcuts.end();) {
        const QString id = shortcutName(it->second.id);
        const auto match =
            std::find_if(bound.begin(), bound.end(), [&id](const PortalShortcut& b) { return b.id == id; });
        if (match == bound.end()) {
            const Shortcut lost = it->second;
            it = m_shortcuts.erase(it);
            if (m_lost)
                m_lost(lost.id, HotKeyStatus::taken);
            continue;
        }
        if (const QString trigger = match->properties.value(QStringLiteral("trigger_description")).toString();
            !trigger.isEmpty())
            triggers << trigger;
        ++it;
    }
    m_assigned = triggers.join(QStringLiteral(", "));
    if (m_shortcuts.empty())
        m_failure = QCoreApplication::translate("ondrel::platform::HotKeys", kNotGiven);
    else if (m_assigned.isEmpty())
        m_failure = noKeyYet();
    else
        m_failure.clear();
    describe();
}

void PortalGlobalShortcuts::refused()
{
    m_failure = QCoreApplication::translate("ondrel::platform::HotKeys", kNotGiven);
    describe();
}

HotKeyService::Registration PortalGlobalShortcuts::registerHotKey(quint32 keyCode, quint32 modifiers,
                                                                  quint32 id)
{
    const quint64 reference = m_nextReference++;
    m_shortcuts[reference] = Shortcut{keyCode, modifiers, id};
    bind();
    return {HotKeyStatus::ok, reference};
}

void PortalGlobalShortcuts::unregisterHotKey(quint64 reference)
{
    // The portal keeps what it bound; presses of a shortcut no longer ours are ignored.
    m_shortcuts.erase(reference);
}

QString PortalGlobalShortcuts::unavailableReason() const
{
    // Until the desktop answers (it may be asking the user, or never
    // answer at all) there is no hotkey to promise.
    if (m_failure.isEmpty() && m_assigned.isEmpty() && !m_shortcuts.empty())
        return QCoreApplication::translate(
            "ondrel::platform::HotKeys",
            "The desktop has not answered Ondrel's request for a global hotkey yet.");
    return m_failure;
}

void PortalGlobalShortcuts::activated(const QDBusMessage& signal)
{
    report(signal, Phase::pressed);
}

void PortalGlobalShortcuts::deactivated(const QDBusMessage& signal)
{
    report(signal, Phase::released);
}

void PortalGlobalShortcuts::report(const QDBusMessage& signal, Phase phase)
{
    const QVariantList arguments = signal.arguments();
    if (arguments.size() < 2 || !delivering())
        return;
    if (arguments.at(0).value<QDBusObjectPath>().path() != m_session)
        return;
    const QString id = arguments.at(1).toString();
    for (const auto& [reference, s] : m_shortcuts)
        if (shortcutName(s.id) == id)
            m_handler(s.id, phase);
}

QString PortalGlobalShortcuts::preferredTrigger(quint32 keyCode, quint32 storedModifiers)
{
    QStringList parts;
    if (storedModifiers & StoredModifiers::control)
        parts << QStringLiteral("CTRL");
    if (storedModifiers & StoredModifiers::option)
        parts << QStringLiteral("ALT");
    if (storedModifiers & StoredModifiers::shift)
        parts << QStringLiteral("SHIFT");
    if (storedModifiers & StoredModifiers::command)
        parts << QStringLiteral("LOGO");
    parts << keyName(keyCode);
    return parts.join(u'+');
}

} // namespace ondrel::platform
