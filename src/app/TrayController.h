#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <memory>

namespace ondrel {

namespace platform {
class Scheduler;
}
class ClipboardWatcher;
class HistoryStore;
class PopoverController;
class SettingsController;
class StatusMenu;

// The tray icon: a click opens or closes the popover, a right click shows
// the status menu; StatusNotifier hosts are given the menu to show.
class TrayController final : public QObject
{
    Q_OBJECT
public:
    struct Parts
    {
        PopoverController& popover;
        SettingsController& settings;
        HistoryStore& store;
        ClipboardWatcher& watcher;
        platform::Scheduler& scheduler;
    };

    // Without `showIcon` no icon is made (tests, and runs that only record).
    TrayController(Parts parts, bool showIcon, QObject* parent = nullptr);
    ~TrayController() override;

    // Makes the tray icon.
    void start();
    void trayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void showStatusMenu();
    // The status menu as it is shown; the caller owns it.
    StatusMenu* buildStatusMenu();
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    // The icon the tray shows: orange while recording; grey, faded and
    // marked with a pause sign while paused.
    static QIcon icon(bool paused);

Q_SIGNALS:
    // "Quit Ondrel" was chosen.
    void quitRequested();

private:
    void makeIcon();
    void updateIcon();
    void updateToolTip();
    // Off X11: makes the icon once a StatusNotifier host is there, now or later.
    void watchForStatusNotifierHost();
    // Asks the watcher whether a host is there (`wait`: for its answer).
    void checkStatusNotifierHost(bool wait);

private Q_SLOTS:
    void statusNotifierHostRegistered();

private:
    Parts m_parts;
    bool m_showIcon;
    QObject* m_hostWatch = nullptr; // while waiting for a StatusNotifier host
    QPointer<QSystemTrayIcon> m_trayIcon;
    std::unique_ptr<StatusMenu> m_trayMenu; // the menu a StatusNotifier host shows (not on X11)
};

} // namespace ondrel
