#include "PortalRequest.h"

#include "AppId.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusVariant>
#include <QSet>

namespace ondrel::platform::portal {

namespace {

const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
// Qt D-Bus compares slot names as written, unnormalised: a space after a
// comma and the connection silently fails. Kept out of the formatter's reach.
// clang-format off
#define ONDREL_RESPONSE_SLOT SLOT(response(uint,QVariantMap))
// clang-format on

// A program outside a sandbox tells the portal its application id before its
// first request, so that the portal names it in its dialogs and keeps its
// permissions under that id. Portals before 1.19 know no registry; the error
// they answer is of no consequence. Once per connection: a second
// registration is refused.
void registerApp(QDBusConnection& bus, int timeout)
{
    static QSet<QString> registered;
    if (registered.contains(bus.name()))
        return;
    registered.insert(bus.name());
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"));
    call.setArguments({appId(), QVariantMap()});
    bus.call(call, QDBus::BlockWithGui, timeout);
}

} // namespace

std::optional<QVariant> property(QDBusConnection bus, const QString& interface, const QString& name)
{
    if (!bus.isConnected() || !bus.interface())
        return std::nullopt;
    // Early in a session the portal may not run yet: the bus starts it on
    // the first call, which then takes longer.
    const bool running = bus.interface()->isServiceRegistered(kService);
    if (!running) {
        const QDBusReply<QStringList> activatable =
            bus.interface()->call(QStringLiteral("ListActivatableNames"));
        if (!activatable.isValid() || !activatable.value().contains(kService))
            return std::nullopt;
    }
    registerApp(bus, running ? 2000 : 10000);
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({interface, name});
    const QDBusMessage reply = bus.call(get, QDBus::BlockWithGui, running ? 2000 : 10000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return qvariant_cast<QDBusVariant>(reply.arguments().first()).variant();
}

Request::Request(QDBusConnection bus, QString path, QObject* context, Answer answer)
    : QObject(context), m_bus(std::move(bus)), m_path(std::move(path)), m_answer(std::move(answer))
{}

void Request::send(QDBusConnection bus, const QString& interface, const QString& method,
                   QVariantList arguments, QVariantMap options, QObject* context, Answer answer)
{
    static quint64 nextToken = 1;
    const QString token = QStringLiteral("ondrel%1").arg(nextToken++);
    QString sender = bus.baseService();
    sender.remove(0, 1).replace(u'.', u'_');
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    auto* request = new Request(bus, path, context, std::move(answer));
    bus.connect(kService, path, kRequest, QStringLiteral("Response"), request, ONDREL_RESPONSE_SLOT);
    options.insert(QStringLiteral("handle_token"), token);
    arguments << options;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, interface, method);
    call.setArguments(arguments);
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(call), request);
    connect(pending, &QDBusPendingCallWatcher::finished, request, [request](QDBusPendingCallWatcher* call) {
        if (call->isError())
            request->finish(2, {});
        call->deleteLater();
    });
}

void Request::response(uint response, const QVariantMap& results)
{
    finish(response, results);
}

void Request::finish(uint response, const QVariantMap& results)
{
    if (!m_answer)
        return;
    m_bus.disconnect(kService, m_path, kRequest, QStringLiteral("Response"), this, ONDREL_RESPONSE_SLOT);
    const Answer answer = std::exchange(m_answer, {});
    deleteLater();
    answer(response, results);
}

} // namespace ondrel::platform::portal
