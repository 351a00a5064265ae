#include "TrayController.h"

#include "PasteTyper.h"
#include "ShortcutRecorder.h"

#include "ClipboardHistory.h"
#include "FocusTracker.h"
#include "KeyCodes.h"
#include "PopoverContent.h"
#include "PopoverWindow.h"
#include "Registry.h"
#include "Scheduler.h"
#include "SettingsView.h"
#include "Symbols.h"
#include "Theme.h"
#include "UpdateManager.h"
#include "Updater.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

namespace ondrel {

// Reads the keys typed into the popover while it is installed.
class TrayController::KeyMonitor final : public QObject
{
public:
    explicit KeyMonitor(TrayController* owner) : m_owner(owner) { qApp->installEventFilter(this); }
    ~KeyMonitor() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !m_owner)
            return false;
        // Only keys meant for the popover: the settings window keeps its own.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || !m_owner->m_popover || widget->window() != m_owner->m_popover)
            return false;
        return m_owner->handleKeyDown(*static_cast<QKeyEvent*>(event));
    }

private:
    QPointer<TrayController> m_owner;
};

const QHash<qint64, int>& TrayController::numberKeyCodes()
{
    static const QHash<qint64, int> table = {{18, 0}, {19, 1}, {20, 2}, {21, 3}, {23, 4},
                                             {22, 5}, {26, 6}, {28, 7}, {25, 8}};
    return table;
}

TrayController::TrayController(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services))
{
    // Making the history starts loading its file.
    m_history = std::make_unique<ClipboardHistory>(
        ClipboardHistory::Services{m_services.settings, m_services.scheduler, m_services.clipboard,
                                   m_services.pasteTyper, m_services.focus, m_services.historyFile});
    m_theme = std::make_unique<ThemeManager>(m_services.settings);
    m_shortcuts =
        std::make_unique<hotkeys::Registry>(m_services.settings, m_services.hotKeys, m_services.layout);
}

TrayController::~TrayController()
{
    removeKeyMonitor();
    delete m_settings;
    delete m_popover;
    delete m_trayIcon;
}

void TrayController::start()
{
    setupTrayIcon();
    m_hotkey = m_shortcuts->makeName(kHotkeyName, kDefaultHotkey);
    // The popover opens when the hotkey is released; one that was never
    // opened is built while the key is still down.
    m_shortcuts->onKeyDown(*m_hotkey, [self = QPointer<TrayController>(this)] {
        if (self)
            self->popover()->setHotkeyHeld(true);
    });
    m_shortcuts->onKeyUp(*m_hotkey, [self = QPointer<TrayController>(this)] {
        if (!self)
            return;
        self->popover()->setHotkeyHeld(false);
        self->togglePopover();
    });
    // Clicks elsewhere: the popover closes when it loses the focus.
    m_history->watcher.startMonitoring();
    m_updates = std::make_unique<UpdateManager>(m_services.settings, m_services.updater);
}

void TrayController::setupTrayIcon()
{
    // Made even when no tray is there yet (started before the panel): on
    // X11 the icon docks once one appears. Elsewhere only a StatusNotifier
    // host can show it, and it must be there already.
    if (!m_services.trayIcon ||
        (!QSystemTrayIcon::isSystemTrayAvailable() && QGuiApplication::platformName() != u"xcb"))
        return;
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48})
        icon.addPixmap(symbolPixmap(u"layers", QColor(249, 115, 22), side, 1.0, SymbolWeight::medium));
    m_trayIcon = new QSystemTrayIcon(icon);
    m_trayIcon->setToolTip(QStringLiteral("Ondrel"));
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &TrayController::trayIconActivated);
    // Off X11 the tray is a StatusNotifier host, and some (waybar) show only
    // a menu the item exports, never asking the program on a right click.
    // Its entries stay the same objects while it lives (the host names them
    // by number, and a click on a number gone would do nothing); only the
    // updates switch is brought up to date when it opens.
    if (QGuiApplication::platformName() != u"xcb") {
        m_trayMenu.reset(buildStatusMenu());
        connect(m_trayMenu.get(), &QMenu::aboutToShow, this, [this] {
            if (auto* automatic = m_trayMenu->findChild<QAction*>(QStringLiteral("automaticUpdates")))
                automatic->setChecked(automatic->isEnabled() && m_updates &&
                                      m_updates->automaticallyChecksForUpdates());
        });
        m_trayIcon->setContextMenu(m_trayMenu.get());
    }
    m_trayIcon->show();
}

PopoverWindow* TrayController::popover()
{
    if (!m_popover) {
        auto* content = new PopoverContent(m_history->store, m_history->state, m_history->paster, *m_theme,
                                           m_services.scheduler, m_services.clipboard);
        m_popover = new PopoverWindow(content, m_services.scheduler);
        connect(&m_history->paster, &EntryPaster::pasteKeystrokePosted, m_popover,
                &PopoverWindow::takeFocusBackAfterPaste);
        m_popover->setActivator([this](PopoverWindow& window) {
            if (!m_services.focus.activate(window.winId()))
                window.activateWindow();
        });
        if (m_popoverBuilt)
            m_popoverBuilt(*m_popover);
    }
    return m_popover;
}

void TrayController::trayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Context) {
        showStatusMenu();
        return;
    }
    // Every left click toggles: the tray reports the second of two quick
    // clicks as a double click.
    if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
        return;
    // The click took the focus from an open popover, which closed just now:
    // that click meant "close".
    if (m_popover && m_popover->closedByDeactivationWithin(0.3)) {
        removeKeyMonitor();
        return;
    }
    togglePopover();
}

void TrayController::togglePopover()
{
    if (m_popover && m_popover->isShown()) {
        m_popover->performClose();
        removeKeyMonitor();
        return;
    }
    m_history->state.setSelectedIndex(0);
    m_services.focus.rememberFocus(); // before the popover takes the keyboard
    popover()->showRelativeTo(m_trayIcon ? m_trayIcon->geometry() : QRect());
    addKeyMonitor();
}

void TrayController::closeAfterCopy()
{
    // Where no keystroke reaches another program the user pastes by hand:
    // say the entry is on the clipboard before going.
    if (m_services.pasteTyper.canPaste() || !m_popover) {
        closePopover();
        return;
    }
    m_popover->content()->showCopied();
    m_services.scheduler.postAfter(PopoverContent::kCopiedSeconds, this, [this] { closePopover(); });
}

void TrayController::closePopover()
{
    if (m_popover)
        m_popover->performClose();
}

void TrayController::addKeyMonitor()
{
    if (!m_keyMonitor)
        m_keyMonitor = new KeyMonitor(this);
}

void TrayController::removeKeyMonitor()
{
    delete m_keyMonitor;
    m_keyMonitor = nullptr;
}

bool TrayController::handleKeyDown(const QKeyEvent& event)
{
    const auto code = platform::keycodes::keyCodeOf(event);
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    // Ctrl stands where Mac programs have Command.
    if ((modifiers & Qt::ControlModifier) && code && numberKeyCodes().contains(*code)) {
        const int row = numberKeyCodes().value(*code);
        const QList<ClipboardItem> items = m_history->state.filteredItems();
        if (row < items.size()) {
            m_history->paster.copyAndPaste(items.at(row));
            closeAfterCopy();
        } else {
            closePopover();
        }
        return true;
    }
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (code.value_or(-1)) {
    case 36: // Return
        if (const auto selected = m_history->state.selectedItem())
            m_history->paster.copyAndPaste(*selected);
        closeAfterCopy();
        return true;
    case 48: // Tab (Shift-Tab too)
        m_history->state.setShowDetailForSelected(true);
        return true;
    case 53: // Escape
        m_history->state.setCloseDetailRequested(true);
        m_services.scheduler.postAfter(0.1, this, [this] {
            if (!m_history->state.closeDetailRequested())
                return;
            m_history->state.setCloseDetailRequested(false);
            closePopover();
        });
        return true;
    case 125: // Down
        m_history->state.moveSelection(1);
        return true;
    case 126: // Up
        m_history->state.moveSelection(-1);
        return true;
    default:
        return false;
    }
}

QMenu* TrayController::buildStatusMenu()
{
    auto* menu = new QMenu;
    menu->setAccessibleName(QStringLiteral("Ondrel"));
    QAction* settings = menu->addAction(QStringLiteral("Settings..."), this, &TrayController::openSettings);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    menu->addSeparator();
    menu->addAction(QStringLiteral("Check for Updates..."), this, &TrayController::checkForUpdates);
    QAction* automatic =
        menu->addAction(QStringLiteral("Automatic Updates"), this, &TrayController::toggleAutoUpdates);
    automatic->setCheckable(true);
    automatic->setObjectName(QStringLiteral("automaticUpdates"));
    // A copy without an update feed is updated by the package manager:
    // the switch would do nothing, so it says why instead.
    const QString unavailable = m_updates ? m_updates->updater().unavailableReason() : QString();
    if (!unavailable.isEmpty()) {
        automatic->setEnabled(false);
        automatic->setToolTip(unavailable);
        menu->setToolTipsVisible(true);
    }
    m_services.scheduler.post(automatic, [this, automatic, available = unavailable.isEmpty()] {
        automatic->setChecked(available && m_updates && m_updates->automaticallyChecksForUpdates());
    });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Clear History"), this, &TrayController::clearHistory);
    menu->addSeparator();
    QAction* quit = menu->addAction(QStringLiteral("Quit Ondrel"), this, &TrayController::quitRequested);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // An open menu reads keys for navigation only; its entries' shortcuts
    // should work there too.
    menu->installEventFilter(this);
    return menu;
}

bool TrayController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress)
        if (auto* menu = qobject_cast<QMenu*>(watched)) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QKeySequence pressed(key->keyCombination());
            for (QAction* action : menu->actions())
                if (!action->shortcut().isEmpty() &&
                    action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
                    menu->close();
                    action->trigger();
                    return true;
                }
        }
    return QObject::eventFilter(watched, event);
}

void TrayController::showStatusMenu()
{
    closePopover();
    removeKeyMonitor();
    QMenu* menu = buildStatusMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(QCursor::pos());
}

void TrayController::openSettings()
{
    m_services.scheduler.post(this, [this] { openSettingsWindow(); });
}

void TrayController::openSettingsWindow()
{
    if (!m_settings) {
        m_settings = new SettingsView({*m_theme, m_services.settings, m_services.autostart, *m_shortcuts,
                                       m_services.alerts, m_services.scheduler},
                                      *m_hotkey, m_services.version);
        m_settings->setAttribute(Qt::WA_DeleteOnClose);
        // The tray's menu is made when it opens; its keys count as ours.
        m_settings->recorder()->field()->setMenuBuilder(
            [this] { return std::unique_ptr<QMenu>(buildStatusMenu()); });
    }
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
}

void TrayController::clearHistory()
{
    m_history->store.clearUnpinned();
}

void TrayController::checkForUpdates()
{
    m_services.scheduler.post(this, [this] {
        if (m_updates)
            m_updates->updater().checkForUpdates();
    });
}

void TrayController::toggleAutoUpdates()
{
    m_services.scheduler.post(this, [this] {
        if (m_updates)
            m_updates->toggleAutomaticUpdates();
    });
}

void TrayController::shutdown()
{
    m_history->watcher.stopMonitoring();
    removeKeyMonitor();
    m_history->store.waitForSaves();
}

} // namespace ondrel
