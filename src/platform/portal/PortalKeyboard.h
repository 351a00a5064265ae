#pragma once

#include "PasteTyper.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

namespace ondrel::platform {

// The paste keystroke through the desktop portal's RemoteDesktop keyboard
// (GNOME, KDE Plasma), where the compositor lets no program make a keyboard
// of its own. The desktop asks the user once before it lets a program type;
// the session is asked for at the first paste, which is typed as soon as the
// user agrees. The desktop's answer can be kept (a restore token), so that
// later launches are not asked again.
class PortalKeyboard final : public QObject, public PasteTyper
{
    Q_OBJECT
public:
    struct Options
    {
        // The paste chord's name set by the user ("ctrl+shift+v"); empty for
        // the usual Ctrl+V.
        std::function<QString()> pasteOverride;
        // The id (app id, desktop id or window class) of the application
        // the paste goes to, remembered when the popover opened; empty when
        // unknown. A terminal's id chooses its chord.
        std::function<QString()> targetApp;
        // The desktop's last answer, kept between launches.
        std::function<QString()> loadRestoreToken;
        std::function<void(const QString&)> saveRestoreToken;
    };

    // Null when the session bus has no portal whose RemoteDesktop offers a keyboard.
    static std::unique_ptr<PortalKeyboard> create(Options options,
                                                  QDBusConnection bus = QDBusConnection::sessionBus());
    ~PortalKeyboard() override;

    void typePaste() override;
    // Until the user declines: then the entry is pasted by hand.
    bool canPaste() const override { return m_state != State::refused; }

    // A paste asked for longer ago than this, while the user was still
    // deciding, is not typed: the focus has long moved on.
    static constexpr int kPendingPasteMs = 10000;

private Q_SLOTS:
    void sessionClosed(const QDBusMessage& signal);

private:
    enum class State
    {
        idle,
        starting,
        started,
        refused
    };
    PortalKeyboard(Options options, QDBusConnection bus);
    void startSession();
    void selectDevices();
    void start();
    void fail(const QString& why);
    void typeChord();
    void key(int keysym, bool press);
    void sendNextKey();

    Options m_options;
    QDBusConnection m_bus;
    State m_state = State::idle;
    uint m_version = 0; // the portal's RemoteDesktop version
    QString m_session;
    // Session paths are ours to name, and must differ from any other
    // session of this program (the hotkeys have one too).
    int m_sessions = 0;
    std::deque<std::pair<int, bool>> m_keys; // keysym, pressed: the first is on its way
    QElapsedTimer m_pending;                 // a paste waits for the session; invalid when none does
};

} // namespace ondrel::platform
