#include "PortalColorScheme.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace ondrel::platform {

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
// The bus starts the portal on this first call; on a slow login that takes
// a while, and the look just follows when the answer comes.
constexpr int kAnswerMs = 25000;

// Read gives the value inside one more variant than the change signal does.
QVariant unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

PortalColorScheme::PortalColorScheme(QDBusConnection bus) : m_bus(std::move(bus))
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kPortal, kPath, kSettings, QStringLiteral("SettingChanged"), this,
                  SLOT(settingChanged(QDBusMessage)));
    // Read, not ReadOne: portals before 1.17 (Debian 12's) have only Read.
    QDBusMessage read = QDBusMessage::createMethodCall(kPortal, kPath, kSettings, QStringLiteral("Read"));
    read.setArguments({kGroup, kKey});
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(read, kAnswerMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        // No portal, or one whose desktop keeps no such setting: Qt's palette decides.
        if (reply.isError() || m_changedBeforeAnswer)
            return;
        take(fromPortalValue(reply.value().variant()));
    });
}

DesktopColorScheme::Preference PortalColorScheme::fromPortalValue(const QVariant& value)
{
    bool ok = false;
    const uint number = unwrap(value).toUInt(&ok);
    if (!ok)
        return Preference::none;
    return number == 1 ? Preference::dark : number == 2 ? Preference::light : Preference::none;
}

void PortalColorScheme::settingChanged(const QDBusMessage& signal)
{
    const QVariantList arguments = signal.arguments();
    if (arguments.size() != 3 || arguments[0].toString() != kGroup || arguments[1].toString() != kKey)
        return;
    // A change that overtakes the first answer is newer than it.
    m_changedBeforeAnswer = true;
    take(fromPortalValue(arguments[2]));
}

void PortalColorScheme::take(Preference preference)
{
    if (preference == m_preference)
        return;
    m_preference = preference;
    if (m_onChange)
        m_onChange();
}

} // namespace ondrel::platform
