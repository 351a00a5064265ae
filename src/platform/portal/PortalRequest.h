#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace ondrel::platform::portal {

inline const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");

// A property of one of the portal's interfaces; none when the bus has no
// portal or the portal lacks the interface (no backend offers it).
std::optional<QVariant> property(QDBusConnection bus, const QString& interface, const QString& name);

// One request to the desktop portal. Its answer comes later, in a Response
// signal on a path made of our bus name and a token of ours; the signal is
// subscribed to before the call, so that a quick answer is not missed.
// `answer` gets the response (0 granted, 1 declined by the user, 2 failed)
// and its results, once; a call the portal rejects outright counts as 2.
// Nothing is answered once `context` is gone.
class Request final : public QObject
{
    Q_OBJECT
public:
    using Answer = std::function<void(uint response, const QVariantMap& results)>;
    static void send(QDBusConnection bus, const QString& interface, const QString& method,
                     QVariantList arguments, QVariantMap options, QObject* context, Answer answer);

private Q_SLOTS:
    void response(uint response, const QVariantMap& results);

private:
    Request(QDBusConnection bus, QString path, QObject* context, Answer answer);
    void finish(uint response, const QVariantMap& results);

    QDBusConnection m_bus;
    QString m_path;
    Answer m_answer;
};

} // namespace ondrel::platform::portal
