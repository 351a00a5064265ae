#include "StatusMenu.h"

#include "ClipboardWatcher.h"
#include "HistoryStore.h"
#include "Scheduler.h"
#include "SettingsController.h"
#include "UpdateManager.h"
#include "Updater.h"

#include <QKeyEvent>

namespace ondrel {

StatusMenu::StatusMenu(SettingsController& settings, HistoryStore& store, ClipboardWatcher& watcher,
                       platform::Scheduler& scheduler, QWidget* parent)
    : QMenu(parent), m_settings(settings)
{
    setAccessibleName(QStringLiteral("Ondrel"));
    QAction* open = addAction(tr("Settings..."), &settings, &SettingsController::openSettings);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    addSeparator();
    addAction(tr("Check for Updates..."), &settings, &SettingsController::checkForUpdates);
    m_automatic = addAction(tr("Automatic Updates"), &settings, &SettingsController::toggleAutoUpdates);
    m_automatic->setCheckable(true);
    m_automatic->setObjectName(QStringLiteral("automaticUpdates"));
    setToolTipsVisible(true);
    // The tray's exported menu is made before the updates are taken over:
    // it is brought up to date once they are, and whenever it opens.
    syncAutomaticUpdates();
    scheduler.post(m_automatic, [this] { syncAutomaticUpdates(); });
    addSeparator();
    // Follows the watcher, paused from here, the command line or a timer running out.
    QAction* pause = addAction(tr("Pause Recording"));
    pause->setObjectName(QStringLiteral("pauseRecording"));
    pause->setCheckable(true);
    pause->setChecked(watcher.isPaused());
    connect(pause, &QAction::triggered, &watcher, [&watcher](bool paused) {
        if (paused)
            watcher.pause();
        else
            watcher.resume();
    });
    connect(&watcher, &ClipboardWatcher::pausedChanged, pause,
            [pause, &watcher] { pause->setChecked(watcher.isPaused()); });
    addAction(tr("Clear History"), &store, &HistoryStore::clearUnpinned);
    addSeparator();
    QAction* quit = addAction(tr("Quit Ondrel"), this, &StatusMenu::quitRequested);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void StatusMenu::syncAutomaticUpdates()
{
    // A copy without an update feed is updated by the package manager:
    // the switch would do nothing, so it says why instead.
    UpdateManager* updates = m_settings.updateManager();
    const QString unavailable = updates ? updates->updater().unavailableReason() : QString();
    m_automatic->setEnabled(updates && unavailable.isEmpty());
    m_automatic->setToolTip(unavailable);
    m_automatic->setChecked(m_automatic->isEnabled() && updates->automaticallyChecksForUpdates());
}

bool StatusMenu::event(QEvent* event)
{
    // An open menu reads keys for navigation only; its entries' shortcuts
    // should work there too.
    if (event->type() == QEvent::KeyPress) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (QAction* action : actions())
            if (!action->shortcut().isEmpty() &&
                action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
                close();
                action->trigger();
                return true;
            }
    }
    return QMenu::event(event);
}

} // namespace ondrel
