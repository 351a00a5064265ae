#include "KdeGlobalAccel.h"

#include "KeyCodes.h"
#include "Modifiers.h"

#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QKeySequence>

#include <algorithm>

namespace ondrel::platform {

namespace {

const QString kService = QStringLiteral("org.kde.kglobalaccel");
const QString kPath = QStringLiteral("/kglobalaccel");
const QString kInterface = QStringLiteral("org.kde.KGlobalAccel");
const QString kComponentInterface = QStringLiteral("org.kde.kglobalaccel.Component");
// The component's name, kept in the desktop's shortcut settings with the
// user's choices: it must not change.
const QString kComponent = QStringLiteral("ondrel");
// setShortcut's flags.
constexpr uint kIsDefault = 1, kSetPresent = 2;
// clang-format off
#define ONDREL_PRESSED_SLOT SLOT(pressed(QDBusMessage))
#define ONDREL_RELEASED_SLOT SLOT(released(QDBusMessage))
#define ONDREL_CHANGED_SLOT SLOT(shortcutChanged(QDBusMessage))
// clang-format on

bool hasKey(const QList<int>& keys)
{
    return std::any_of(keys.begin(), keys.end(), [](int key) { return key != 0; });
}

} // namespace

KdeGlobalAccel::KdeGlobalAccel(QDBusConnection bus) : m_bus(std::move(bus))
{
    qDBusRegisterMetaType<QList<int>>();
}

KdeGlobalAccel::~KdeGlobalAccel()
{
    for (const auto& [reference, s] : m_shortcuts)
        m_bus.send(message(QStringLiteral("setInactive"), {s.actionId}));
}

std::unique_ptr<KdeGlobalAccel> KdeGlobalAccel::create(QDBusConnection bus)
{
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(kService))
        return nullptr;
    std::unique_ptr<KdeGlobalAccel> service(new KdeGlobalAccel(bus));
    const QString component = QStringLiteral("/component/") + kComponent;
    service->m_bus.connect(kService, component, kComponentInterface, QStringLiteral("globalShortcutPressed"),
                           service.get(), ONDREL_PRESSED_SLOT);
    service->m_bus.connect(kService, component, kComponentInterface, QStringLiteral("globalShortcutReleased"),
                           service.get(), ONDREL_RELEASED_SLOT);
    service->m_bus.connect(kService, kPath, kInterface, QStringLiteral("yourShortcutGotChanged"),
                           service.get(), ONDREL_CHANGED_SLOT);
    return service;
}

int KdeGlobalAccel::qtCombination(quint32 keyCode, quint32 storedModifiers)
{
    const std::optional<int> key = keycodes::qtKeyForKeyCode(keyCode);
    if (!key)
        return 0;
    int combination = *key;
    if (storedModifiers & StoredModifiers::shift)
        combination |= Qt::SHIFT;
    if (storedModifiers & StoredModifiers::control)
        combination |= Qt::CTRL;
    if (storedModifiers & StoredModifiers::option)
        combination |= Qt::ALT;
    if (storedModifiers & StoredModifiers::command)
        combination |= Qt::META;
    return combination;
}

QDBusMessage KdeGlobalAccel::message(const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    return message;
}

HotKeyService::Registration KdeGlobalAccel::registerHotKey(quint32 keyCode, quint32 modifiers, quint32 id)
{
    const int combination = qtCombination(keyCode, modifiers);
    if (combination == 0)
        return {HotKeyStatus::invalid, std::nullopt};
    const QStringList actionId = {kComponent, shortcutName(id), QStringLiteral("Ondrel"),
                                  hotKeyDescription()};
    // Nothing waits for the desktop, which may be busy: a wait would hold
    // the popover and every menu, and a nested event loop would run
    // anything meanwhile. Calls on one connection are handled in order, so
    // only the last answer matters; an error in an earlier call fails it too.
    const QVariant keys = QVariant::fromValue(QList<int>{combination});
    m_bus.send(message(QStringLiteral("doRegister"), {actionId}));
    m_bus.send(message(QStringLiteral("setShortcut"), {actionId, keys, kIsDefault}));
    // Without "no autoloading" the keys the user chose in the desktop's
    // settings win over ours; the answer is what the desktop runs it with.
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(message(QStringLiteral("setShortcut"), {actionId, keys, kSetPresent}), kAnswerMs),
        this);
    const quint64 reference = m_nextReference++;
    m_shortcuts[reference] = {id, actionId, {}, false};
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, reference](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const auto it = m_shortcuts.find(reference);
                if (it == m_shortcuts.end())
                    return;
                if (call->isError()) {
                    const quint32 lost = it->second.id;
                    m_shortcuts.erase(it);
                    updateDescription();
                    if (m_lost)
                        m_lost(lost, HotKeyStatus::taken);
                    return;
                }
                it->second.keys = qdbus_cast<QList<int>>(call->reply().arguments().value(0));
                it->second.answered = true;
                updateDescription();
            });
    return {HotKeyStatus::ok, reference};
}

void KdeGlobalAccel::unregisterHotKey(quint64 reference)
{
    const auto it = m_shortcuts.find(reference);
    if (it == m_shortcuts.end())
        return;
    // Inactive, not forgotten: the user's choice of keys stays with the desktop.
    m_bus.send(message(QStringLiteral("setInactive"), {it->second.actionId}));
    m_shortcuts.erase(it);
    updateDescription();
}

QString KdeGlobalAccel::assignedTriggers() const
{
    QStringList triggers;
    for (const auto& [reference, s] : m_shortcuts)
        for (int key : s.keys)
            if (key != 0)
                triggers << QKeySequence(key).toString(QKeySequence::NativeText);
    return triggers.join(QStringLiteral(", "));
}

void KdeGlobalAccel::updateDescription()
{
    const bool keyless = std::any_of(m_shortcuts.begin(), m_shortcuts.end(), [](const auto& s) {
        return s.second.answered && !hasKey(s.second.keys);
    });
    // Another shortcut of the desktop has the keys, or the user removed them.
    m_failure = keyless ? noKeyYet() : QString();
    describe();
}

void KdeGlobalAccel::shortcutChanged(const QDBusMessage& signal)
{
    // The user chose other keys in the desktop's settings.
    const QStringList actionId = signal.arguments().value(0).toStringList();
    const QList<int> keys = qdbus_cast<QList<int>>(signal.arguments().value(1));
    for (auto& [reference, s] : m_shortcuts)
        if (actionId.value(0) == kComponent && actionId.value(1) == s.actionId.value(1)) {
            s.keys = keys;
            s.answered = true;
        }
    updateDescription();
}

void KdeGlobalAccel::pressed(const QDBusMessage& signal)
{
    report(signal, Phase::pressed);
}

void KdeGlobalAccel::released(const QDBusMessage& signal)
{
    report(signal, Phase::released);
}

void KdeGlobalAccel::report(const QDBusMessage& signal, Phase phase)
{
    // (component, action, timestamp)
    const QList<QVariant> arguments = signal.arguments();
    if (!delivering() || arguments.value(0).toString() != kComponent)
        return;
    const QString action = arguments.value(1).toString();
    for (const auto& [reference, s] : m_shortcuts)
        if (s.actionId.value(1) == action) {
            m_handler(s.id, phase);
            return;
        }
}

} // namespace ondrel::platform
