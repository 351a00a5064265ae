#pragma once

#include "HotKeyService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>

namespace ondrel::platform {

// Global hotkeys through KDE Plasma's shortcut service (kglobalaccel, in
// KWin on Wayland), as every KDE program has them: the program offers its
// action with a default key; the user's choice in System Settings, kept by
// the desktop, wins over it; presses and releases come back as signals.
// It serves programs the desktop portal cannot name, which Plasma 5.27's
// portal binds nothing for.
class KdeGlobalAccel final : public QObject, public HotKeyService
{
    Q_OBJECT
public:
    // Null when the session bus has no KDE shortcut service.
    static std::unique_ptr<KdeGlobalAccel> create(QDBusConnection bus = QDBusConnection::sessionBus());
    ~KdeGlobalAccel() override;

    Registration registerHotKey(quint32 keyCode, quint32 modifiers, quint32 signature, quint32 id) override;
    void unregisterHotKey(quint64 reference) override;
    void setHotKeyHandler(HotKeyHandler handler) override { m_handler = std::move(handler); }
    void setRawKeyHandler(RawKeyHandler) override {}
    void setHotKeyEventsEnabled(bool enabled) override { m_enabled = enabled; }
    void setRawKeyEventsEnabled(bool) override {}
    void setLostHandler(LostHandler handler) override { m_lost = std::move(handler); }
    bool isTakenElsewhere(quint32, quint32) override { return false; }
    QString unavailableReason() const override { return m_failure; }
    QString assignedTriggers() const override;
    bool desktopAssignsKeys() const override { return true; }
    void setDescriptionHandler(DescriptionHandler handler) override { m_described = std::move(handler); }

    // The service's form of a combination: a Qt key with Qt's modifier bits;
    // 0 for a key it has no name for.
    static int qtCombination(quint32 keyCode, quint32 carbonModifiers);

private Q_SLOTS:
    void pressed(const QDBusMessage& signal);
    void released(const QDBusMessage& signal);
    void shortcutChanged(const QDBusMessage& signal);

private:
    explicit KdeGlobalAccel(QDBusConnection bus);
    void report(const QDBusMessage& signal, Phase phase);
    QDBusMessage call(const QString& method, const QVariantList& arguments) const;
    void describe();

    struct Shortcut
    {
        quint32 signature;
        quint32 id;
        QStringList actionId;
        QList<int> keys; // what the desktop runs it with
    };
    QDBusConnection m_bus;
    std::map<quint64, Shortcut> m_shortcuts;
    quint64 m_nextReference = 1;
    HotKeyHandler m_handler;
    LostHandler m_lost;
    DescriptionHandler m_described;
    bool m_enabled = true;
    QString m_failure;
};

} // namespace ondrel::platform
