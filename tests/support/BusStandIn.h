#pragma once

// Stand-ins of desktop services on a test's own session bus, and ways to
// know that the bus has delivered what was sent, instead of sleeping.

#include "HotKeyService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>
#include <QVariantMap>

namespace ondrel::test {

// `object` published at `path` under the name `service` while this lives.
class Published final
{
public:
    Published(QDBusConnection bus, QString service, QString path, QObject* object,
              QDBusConnection::RegisterOptions options = QDBusConnection::ExportAllSlots |
                                                         QDBusConnection::ExportAllProperties)
        : m_bus(std::move(bus)), m_service(std::move(service)), m_path(std::move(path))
    {
        ok = m_bus.registerObject(m_path, object, options) && m_bus.registerService(m_service);
    }
    ~Published()
    {
        m_bus.unregisterService(m_service);
        m_bus.unregisterObject(m_path);
    }
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    bool ok = false;

private:
    QDBusConnection m_bus;
    QString m_service;
    QString m_path;
};

// The desktop portal's side of a call that answers later: the Request
// object the call made, named by the caller and its handle_token...
inline QString portalRequest(const QDBusMessage& call, const QVariantMap& options)
{
    QString sender = call.service();
    sender.remove(0, 1).replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
        .arg(sender, options.value(QStringLiteral("handle_token")).toString());
}

// ... and its Response, sent after the call's reply, as the real portal does.
inline QDBusObjectPath portalRespond(QDBusConnection bus, QObject* context, const QString& request,
                                     uint response, const QVariantMap& results)
{
    QTimer::singleShot(0, context, [bus, request, response, results]() mutable {
        QDBusMessage signal = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal.setArguments({response, results});
        bus.send(signal);
    });
    return QDBusObjectPath(request);
}

// Returns once `service` has answered a call sent on `bus`: the calls `bus`
// sent it before have been handled by then.
inline bool roundTrip(QDBusConnection bus, const QString& service, const QString& path)
{
    QDBusPendingCallWatcher watcher(bus.asyncCall(QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"))));
    QSignalSpy finished(&watcher, &QDBusPendingCallWatcher::finished);
    return finished.wait(5000) && !watcher.isError();
}

// Returns once a signal sent now on `from` has reached `to`: the signals
// `from` sent before have reached it too, in order.
inline bool signalsDelivered(QDBusConnection from, QDBusConnection to)
{
    const QString path = QStringLiteral("/ondrel/test"), interface = QStringLiteral("org.ondrel.Test");
    QEventLoop loop;
    if (!to.connect(from.baseService(), path, interface, QStringLiteral("Delivered"), &loop, SLOT(quit())))
        return false;
    QTimer::singleShot(5000, &loop, [&loop] { loop.exit(1); });
    // Addressed to `to`: no match rule of the bus to wait for.
    from.send(
        QDBusMessage::createTargetedSignal(to.baseService(), path, interface, QStringLiteral("Delivered")));
    const bool delivered = loop.exec() == 0;
    to.disconnect(from.baseService(), path, interface, QStringLiteral("Delivered"), &loop, SLOT(quit()));
    return delivered;
}

// Records a hotkey service's presses and releases: "1 down", "1 up".
inline platform::HotKeyService::HotKeyHandler recordHotKeys(QStringList& events)
{
    return [&events](quint32 id, platform::HotKeyService::Phase phase) {
        events << QStringLiteral("%1 %2").arg(id).arg(
            phase == platform::HotKeyService::Phase::pressed ? u"down" : u"up");
        return true;
    };
}

} // namespace ondrel::test
