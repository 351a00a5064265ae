#pragma once

#include "DesktopHotKeyService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>

#include <map>
#include <memory>

namespace ondrel::platform {

// Global hotkeys through the desktop portal's GlobalShortcuts interface
// (KDE Plasma, GNOME 48 and later): the program names its shortcuts with a
// preferred trigger, the desktop binds them (asking the user as it sees
// fit) and reports their presses and releases. Nothing can be grabbed or
// probed: the desktop decides, and tells which trigger it assigned.
class PortalGlobalShortcuts final : public QObject, public DesktopHotKeyService
{
    Q_OBJECT
public:
    // Null when the session bus has no portal with GlobalShortcuts.
    static std::unique_ptr<PortalGlobalShortcuts> create(QDBusConnection bus = QDBusConnection::sessionBus());
    ~PortalGlobalShortcuts() override;

    Registration registerHotKey(quint32 keyCode, quint32 modifiers, quint32 id) override;
    void unregisterHotKey(quint64 reference) override;
    QString unavailableReason() const override;

    // The triggers the desktop assigned, as it describes them; empty until
    // it has answered.
    QString assignedTriggers() const override { return m_assigned; }
    bool hasSession() const { return !m_session.isEmpty(); }

    // The portal's trigger form of a combination ("SHIFT+LOGO+v").
    static QString preferredTrigger(quint32 keyCode, quint32 storedModifiers);

private Q_SLOTS:
    // Activated and Deactivated (session, shortcut id, time, options).
    void activated(const QDBusMessage& signal);
    void deactivated(const QDBusMessage& signal);

private:
    explicit PortalGlobalShortcuts(QDBusConnection bus);
    void report(const QDBusMessage& signal, Phase phase);
    void createSession();
    void bind();
    void bound(uint response, const QVariantMap& results);
    void refused();

    struct Shortcut
    {
        quint32 keyCode;
        quint32 modifiers;
        quint32 id;
    };
    QDBusConnection m_bus;
    QString m_session;
    std::map<quint64, Shortcut> m_shortcuts;
    quint64 m_nextReference = 1;
    QString m_assigned;
};

} // namespace ondrel::platform
