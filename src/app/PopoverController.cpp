#include "PopoverController.h"

#include "ClipboardWatcher.h"
#include "EntryPaster.h"
#include "ExcludedApplications.h"
#include "FocusTracker.h"
#include "HistoryList.h"
#include "KeyCodes.h"
#include "PasteTyper.h"
#include "PopoverContent.h"
#include "PopoverState.h"
#include "Scheduler.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>

namespace ondrel {

// Reads the keys typed into the popover while it is installed.
class PopoverController::KeyMonitor final : public QObject
{
public:
    explicit KeyMonitor(PopoverController* owner) : m_owner(owner) { qApp->installEventFilter(this); }
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
    QPointer<PopoverController> m_owner;
};

const QHash<qint64, int>& PopoverController::numberKeyCodes()
{
    static const QHash<qint64, int> table = {{18, 0}, {19, 1}, {20, 2}, {21, 3}, {23, 4},
                                             {22, 5}, {26, 6}, {28, 7}, {25, 8}};
    return table;
}

PopoverController::PopoverController(Services services, HistoryStore& store, PopoverState& state,
                                     EntryPaster& paster, ClipboardWatcher& watcher, ThemeManager& theme,
                                     QObject* parent)
    : QObject(parent), m_services(services), m_store(store), m_state(state), m_paster(paster),
      m_watcher(watcher), m_theme(theme)
{}

PopoverController::~PopoverController()
{
    removeKeyMonitor();
    delete m_popover;
}

PopoverWindow* PopoverController::popover()
{
    if (!m_popover) {
        auto* content = new PopoverContent(m_store, m_state, m_paster, m_theme, m_services.scheduler,
                                           m_services.clipboard);
        m_popover = new PopoverWindow(content, m_services.scheduler);
        content->setRecordingPaused(m_watcher.isPaused());
        content->setExcludeHandler([this](const QString& app) { exclusions::add(m_services.settings, app); });
        connect(&m_watcher, &ClipboardWatcher::pausedChanged, content,
                [this, content] { content->setRecordingPaused(m_watcher.isPaused()); });
        connect(&m_paster, &EntryPaster::pasteKeystrokePosted, m_popover,
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

void PopoverController::hotkeyPressed()
{
    popover()->setHotkeyHeld(true);
}

void PopoverController::hotkeyReleased()
{
    popover()->setHotkeyHeld(false);
    togglePopover();
}

void PopoverController::toggleFromTray()
{
    // The click took the focus from an open popover, which closed just now:
    // that click meant "close".
    if (m_popover && m_popover->closedByDeactivationWithin(0.3)) {
        removeKeyMonitor();
        return;
    }
    togglePopover();
}

bool PopoverController::isPopoverShown() const
{
    return m_popover && m_popover->isShown();
}

void PopoverController::togglePopover()
{
    if (m_popover && m_popover->isShown()) {
        m_popover->performClose("popover-closed-toggled");
        removeKeyMonitor();
        return;
    }
    m_state.setSelectedIndex(0);
    m_services.focus.rememberFocus(); // before the popover takes the keyboard
    popover()->showRelativeTo(m_anchor ? m_anchor() : QRect());
    addKeyMonitor();
}

void PopoverController::dismiss()
{
    closePopover();
    removeKeyMonitor();
}

void PopoverController::closeAfterCopy(bool copied)
{
    // Where no keystroke reaches another program the user pastes by hand:
    // say the entry is on the clipboard before going. When nothing reached
    // the clipboard no keystroke follows either: say so before going.
    if ((copied && m_services.pasteTyper.canPaste()) || !m_popover) {
        closePopover();
        return;
    }
    m_popover->content()->showCopied(copied);
    m_popover->closeAfter(PopoverContent::kCopiedSeconds);
}

void PopoverController::closePopover()
{
    if (m_popover)
        m_popover->performClose();
}

void PopoverController::addKeyMonitor()
{
    if (!m_keyMonitor)
        m_keyMonitor = new KeyMonitor(this);
}

void PopoverController::removeKeyMonitor()
{
    delete m_keyMonitor;
    m_keyMonitor = nullptr;
}

std::optional<int> PopoverController::numberRow(const QKeyEvent& event)
{
    const int key = event.key();
    if (!(event.modifiers() & Qt::KeypadModifier) && key >= Qt::Key_1 && key <= Qt::Key_9)
        return key - Qt::Key_1;
    // Where digits need Shift (AZERTY), Ctrl and the key under "1" gives
    // "&": the key's place tells the row. A key that means a letter or a
    // digit is that, whatever its place (keyboards with their own keymap,
    // like wtype's, have codes that say nothing of the place).
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return std::nullopt;
    const auto code = platform::keycodes::keyCodeOf(event);
    if (code && numberKeyCodes().contains(*code))
        return numberKeyCodes().value(*code);
    return std::nullopt;
}

bool PopoverController::handleKeyDown(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    // Ctrl stands where Mac programs have Command.
    if (modifiers & Qt::ControlModifier)
        if (const auto row = numberRow(event)) {
            const QList<ClipboardItem> items = m_state.filteredItems();
            if (*row < items.size()) {
                // Selected first, so that a screen reader names what is pasted.
                m_state.setSelectedIndex(*row);
                closeAfterCopy(m_paster.copyAndPaste(items.at(*row)));
            } else {
                closePopover();
            }
            return true;
        }
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    // Named keys by what they mean, not where they are.
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const auto selected = m_state.selectedItem();
        closeAfterCopy(selected && m_paster.copyAndPaste(*selected));
        return true;
    }
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        // In an open detail view Tab walks its editor and buttons.
        if (m_popover && m_popover->content()->detailItem())
            return false;
        m_state.setShowDetailForSelected(true);
        return true;
    case Qt::Key_Escape:
        m_state.setCloseDetailRequested(true);
        m_services.scheduler.postAfter(kEscapeCloseSeconds, this, [this] {
            if (!m_state.closeDetailRequested())
                return;
            m_state.setCloseDetailRequested(false);
            closePopover();
        });
        return true;
    case Qt::Key_Menu:
    case Qt::Key_F10: {
        // The menu key (or Shift+F10) opens the selected row's menu: pin and
        // delete by keyboard, where Tab opens the editor instead of walking
        // to the row's buttons. Not the search field's own edit menu.
        if (event.key() == Qt::Key_F10 && !(modifiers & Qt::ShiftModifier))
            return false;
        if (!m_popover || m_popover->content()->detailItem())
            return false;
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QCoreApplication::sendEvent(m_popover->content()->list(), &menu);
        return true;
    }
    case Qt::Key_Down:
        m_state.moveSelection(1);
        return true;
    case Qt::Key_Up:
        m_state.moveSelection(-1);
        return true;
    default:
        return false;
    }
}

} // namespace ondrel
