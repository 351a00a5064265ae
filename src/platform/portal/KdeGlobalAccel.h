#pragma once

#include "DesktopHotKeyService.h"

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
class KdeGlobalAccel final : public QObject, public DesktopHotKeyService
{
    Q_OBJECT
public:
    // Null when the session bus has no KDE shortcut service.
    static std::unique_ptr<KdeGlobalAccel> create(QDBusConnection bus = QDBusConnection::sessionBus());
    ~KdeGlobalAccel() override;

    Registration registerHotKey(quint32 keyCode, quint32 modifiers, quint32 id) override;
    void unregisterHotKey(quint64 reference) override;
    QString assignedTriggers() const override;

    // The service's form of a combination: a Qt key with Qt's modifier bits;
    // 0 for a key it has no name for.
    static int qtCombination(quint32 keyCode, quint32 storedModifiers);

private Q_SLOTS:
    void pressed(const QDBusMessage& signal);
    void released(const QDBusMessage& signal);
    void shortcutChanged(const QDBusMessage& signal);

private:
    explicit KdeGlobalAccel(QDBusConnection bus);
    void report(const QDBusMessage& signal, Phase phase);
    static QDBusMessage message(const QString& method, const QVariantList& arguments);
    // Whether every shortcut has keys, for the settings, which are told.
    void updateDescription();

    struct Shortcut
    {
        quint32 id;
        QStringList actionId;
        QList<int> keys; // what the desktop runs it with
        bool answered;   // whether the desktop said so yet
    };
    // The desktop's own service answers from memory: an answer this late
    // will not come.
    static constexpr int kAnswerMs = 2000;
    QDBusConnection m_bus;
    std::map<quint64, Shortcut> m_shortcuts;
    quint64 m_nextReference = 1;
};

} // namespace ondrel::platform
