#pragma once

#include "DesktopColorScheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

namespace ondrel::platform {

// The desktop portal's "org.freedesktop.appearance" "color-scheme" (GNOME,
// KDE Plasma and others serve it): asked once without waiting at start, then
// followed through the portal's change signal. Says none until the answer
// is in, and for good where the bus has no portal.
class PortalColorScheme final : public QObject, public DesktopColorScheme
{
    Q_OBJECT
public:
    explicit PortalColorScheme(QDBusConnection bus = QDBusConnection::sessionBus());

    Preference preference() const override { return m_preference; }
    void observeChanges(std::function<void()> fn) override { m_onChange = std::move(fn); }

    // The portal's number: 1 prefers dark, 2 prefers light, anything else none.
    static Preference fromPortalValue(const QVariant& value);

private Q_SLOTS:
    void settingChanged(const QDBusMessage& signal);

private:
    void take(Preference preference);

    QDBusConnection m_bus;
    Preference m_preference = Preference::none;
    bool m_changedBeforeAnswer = false;
    std::function<void()> m_onChange;
};

} // namespace ondrel::platform
