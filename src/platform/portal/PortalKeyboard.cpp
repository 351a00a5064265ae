#include "PortalKeyboard.h"
#include "PasteChord.h"
#include "PortalRequest.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QLoggingCategory>
#include <QScopeGuard>

namespace ondrel::platform {

namespace {

Q_LOGGING_CATEGORY(lcPortal, "ondrel.portal")

const QString kInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
constexpr uint kKeyboard = 1; // device type bit
constexpr uint kPersistUntilRevoked = 2;
constexpr int kKeyTimeoutMs = 2000;
// clang-format off
#define ONDREL_CLOSED_SLOT SLOT(sessionClosed(QDBusMessage))
// clang-format on

QString sessionHandle(const QVariant& value)
{
    // Older portals answer a string, newer ones an object path.
    if (value.canConvert<QDBusObjectPath>())
        if (const QString path = qvariant_cast<QDBusObjectPath>(value).path(); !path.isEmpty())
            return path;
    return value.toString();
}

} // namespace

PortalKeyboard::PortalKeyboard(Options options, QDBusConnection bus)
    : m_options(std::move(options)), m_bus(std::move(bus))
{}

PortalKeyboard::~PortalKeyboard()
{
    if (m_session.isEmpty())
        return;
    m_bus.call(QDBusMessage::createMethodCall(portal::kService, m_session,
                                              QStringLiteral("org.freedesktop.portal.Session"),
                                              QStringLiteral("Close")),
               QDBus::NoBlock);
}

std::unique_ptr<PortalKeyboard> PortalKeyboard::create(Options options, QDBusConnection bus)
{
    const std::optional<QVariant> types =
        portal::property(bus, kInterface, QStringLiteral("AvailableDeviceTypes"));
    if (!types || !(types->toUInt() & kKeyboard))
        return nullptr;
    std::unique_ptr<PortalKeyboard> keyboard(new PortalKeyboard(std::move(options), bus));
    // Asked now, while the portal is being asked anyway, not at the first paste.
    keyboard->m_version = portal::property(bus, kInterface, QStringLiteral("version")).value_or(0).toUInt();
    return keyboard;
}

void PortalKeyboard::typePaste()
{
    // Typed here or once the desktop has answered; either way nothing more
    // is waited for.
    const auto done = qScopeGuard([this] { typed(); });
    switch (m_state) {
    case State::started:
        typeChord();
        return;
    case State::refused:
        return;
    case State::starting:
        m_pending.start();
        return;
    case State::idle:
        m_pending.start();
        startSession();
        return;
    }
}

void PortalKeyboard::startSession()
{
    m_state = State::starting;
    portal::Request::send(
        m_bus, kInterface, QStringLiteral("CreateSession"), {},
        {{QStringLiteral("session_handle_token"), QStringLiteral("ondrel_keyboard%1").arg(++m_sessions)}},
        this, [this](uint response, const QVariantMap& results) {
            m_session = sessionHandle(results.value(QStringLiteral("session_handle")));
            if (response != 0 || m_session.isEmpty())
                return fail(QStringLiteral("the desktop gave no remote-control session"));
            m_bus.connect(portal::kService, m_session, QStringLiteral("org.freedesktop.portal.Session"),
                          QStringLiteral("Closed"), this, ONDREL_CLOSED_SLOT);
            selectDevices();
        });
}

void PortalKeyboard::selectDevices()
{
    QVariantMap options{{QStringLiteral("types"), kKeyboard}};
    // Kept answers exist from version 2 on; older portals reject unknown options.
    if (m_version >= 2) {
        options.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
        if (const QString token = m_options.loadRestoreToken ? m_options.loadRestoreToken() : QString();
            !token.isEmpty())
            options.insert(QStringLiteral("restore_token"), token);
    }
    portal::Request::send(m_bus, kInterface, QStringLiteral("SelectDevices"),
                          {QVariant::fromValue(QDBusObjectPath(m_session))}, options, this,
                          [this](uint response, const QVariantMap&) {
                              if (response != 0)
                                  return fail(QStringLiteral("the desktop offers no keyboard"));
                              start();
                          });
}

void PortalKeyboard::start()
{
    // The desktop asks the user here, for as long as the user takes.
    portal::Request::send(
        m_bus, kInterface, QStringLiteral("Start"),
        {QVariant::fromValue(QDBusObjectPath(m_session)), QString()}, {}, this,
        [this](uint response, const QVariantMap& results) {
            if (response != 0 || !(results.value(QStringLiteral("devices")).toUInt() & kKeyboard))
                return fail(QStringLiteral("typing was not allowed"));
            if (const QString token = results.value(QStringLiteral("restore_token")).toString();
                !token.isEmpty() && m_options.saveRestoreToken)
                m_options.saveRestoreToken(token);
            m_state = State::started;
            if (m_pending.isValid() && m_pending.elapsed() < kPendingPasteMs)
                typeChord();
            m_pending.invalidate();
        });
}

void PortalKeyboard::fail(const QString& why)
{
    m_state = State::refused;
    m_pending.invalidate();
    qCWarning(lcPortal).noquote()
        << QStringLiteral("ondrel: %1; the entry is on the clipboard, paste it with Ctrl+V").arg(why);
}

void PortalKeyboard::sessionClosed(const QDBusMessage&)
{
    // The user ended it in the desktop's settings or panel: ask again at the next paste.
    m_session.clear();
    if (m_state != State::refused)
        m_state = State::idle;
}

void PortalKeyboard::typeChord()
{
    std::optional<PasteChord> chord =
        m_options.pasteOverride ? pasteChordFromName(m_options.pasteOverride()) : std::nullopt;
    if (!chord) {
        const QString app = m_options.targetApp ? m_options.targetApp() : QString();
        chord = pasteChordFor(app, app);
    }
    // Keysyms, not key codes: the desktop types them in whatever layout the user has.
    const QList<uint32_t> keys = pasteChordKeysyms(*chord);
    for (uint32_t keysym : keys)
        key(int(keysym), true);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        key(int(*it), false);
}

void PortalKeyboard::key(int keysym, bool press)
{
    m_keys.push_back({keysym, press});
    if (m_keys.size() == 1)
        sendNextKey();
}

void PortalKeyboard::sendNextKey()
{
    if (m_keys.empty())
        return;
    // One at a time: the portal handles calls in threads of its own and
    // passes them on in any order. A release overtaken by its press leaves
    // the key held, repeating in the user's window.
    const auto [keysym, press] = m_keys.front();
    QDBusMessage call = QDBusMessage::createMethodCall(portal::kService, portal::kPath, kInterface,
                                                       QStringLiteral("NotifyKeyboardKeysym"));
    call.setArguments(
        {QVariant::fromValue(QDBusObjectPath(m_session)), QVariantMap(), keysym, uint(press ? 1 : 0)});
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kKeyTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (!m_keys.empty())
            m_keys.pop_front();
        sendNextKey();
    });
}

} // namespace ondrel::platform
