#include "PopoverWindow.h"

#include "PopoverContent.h"
#include "Scheduler.h"

#include "Theme.h"
#include "Tracing.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace ondrel {

namespace {

// The window's edge, drawn over the content: without a compositor's shadow
// a white popover over a white window would have none.
class Outline final : public QWidget
{
public:
    Outline(ThemeManager& theme, QWidget* parent) : QWidget(parent), m_theme(theme)
    {
        connect(&theme, &ThemeManager::darkChanged, this, qOverload<>(&QWidget::update));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(
            QPen(m_theme.palette().ink, kOutlineWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        const qreal inset = kOutlineWidth / 2;
        painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
    }

private:
    static constexpr qreal kOutlineWidth = 1.5; // the cards' outline
    ThemeManager& m_theme;
};

} // namespace

PopoverWindow::PopoverWindow(PopoverContent* content, platform::Scheduler& scheduler, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_content(content),
      m_scheduler(scheduler)
{
    setWindowTitle(QStringLiteral("Ondrel"));
    setAccessibleName(tr("Ondrel clipboard history"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    content->setParent(this);
    setFixedSize(PopoverContent::kWidth, PopoverContent::kHeight);
    connect(content, &PopoverContent::pastingFromList, this, [this] { m_pasteHold = true; });
    m_outline = new Outline(content->theme(), this);
}

void PopoverWindow::showRelativeTo(const QRect& anchor)
{
    const QPoint reference = anchor.isValid() ? anchor.center() : QCursor::pos();
    const QScreen* screen = QGuiApplication::screenAt(reference);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, width(), height());
    // On a screen shorter than the popover, it takes the height there is.
    setFixedSize(PopoverContent::kWidth, std::min(PopoverContent::kHeight, room.height()));
    QPoint at;
    if (anchor.isValid()) {
        // Under the icon, or above it when the panel is at the bottom.
        const bool below = anchor.center().y() < room.center().y();
        at = QPoint(anchor.center().x() - width() / 2,
                    below ? anchor.bottom() + 4 : anchor.top() - 4 - height());
    } else {
        at = QPoint(reference.x() - width() / 2, reference.y() + 8);
    }
    at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width() + 1)));
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - height() + 1)));
    move(at);
    show();
    raise();
    takeKeyboard();
}

void PopoverWindow::takeKeyboard()
{
    if (m_activator)
        m_activator(*this);
    else
        activateWindow();
}

void PopoverWindow::performClose(const char* why)
{
    if (!isVisible())
        return;
    trace(why);
    hide();
    Q_EMIT closed();
}

void PopoverWindow::closeAfter(double seconds)
{
    m_scheduler.postAfter(seconds, this, [this, opening = m_openings] {
        if (opening == m_openings)
            performClose("popover-closed-timed");
    });
}

bool PopoverWindow::closedByDeactivationWithin(double seconds) const
{
    return m_deactivatedAt && m_scheduler.now() - *m_deactivatedAt < seconds;
}

void PopoverWindow::takeFocusBackAfterPaste()
{
    if (!m_pasteHold)
        return;
    if (!isVisible()) {
        m_pasteHold = false;
        return;
    }
    raise();
    takeKeyboard();
    // A window manager that refuses: the user is in the other window now.
    m_scheduler.postAfter(kRefocusSeconds, this, [this] {
        const auto decided = qScopeGuard([] { trace("paste-hold-ended"); });
        if (!m_pasteHold)
            return;
        m_pasteHold = false;
        if (isVisible() && !isActiveWindow()) {
            m_deactivatedAt = m_scheduler.now();
            performClose("popover-closed-pasted-elsewhere");
        }
    });
}

bool PopoverWindow::event(QEvent* event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
        m_outline->setGeometry(rect());
        m_outline->raise();
    }
    // Working in another window closes it; our own pop-ups (menus, the
    // transformations list) do not count as elsewhere. The global hotkey's
    // key grab takes the focus for a moment too: decide a little later.
    // A deactivation left over from the last time it was open does not count.
    if (event->type() == QEvent::Show) {
        m_activatedSinceShown = false;
        if (!event->spontaneous()) // a window manager's re-map is not a new opening
            ++m_openings;
        m_shownAt = m_scheduler.now();
        m_pasteHold = false;
        if (tracing())
            m_scheduler.postAfter(kSettleSeconds, this, [] { trace("popover-settled"); });
    } else if (event->type() == QEvent::WindowActivate) {
        m_activatedSinceShown = true;
        // Back after a paste: deactivations count again. One still queued
        // from before finds the window active.
        m_pasteHold = false;
    }
    // Nor does one in the first moments: the click on the tray icon that
    // opened it may still move the focus to the panel.
    if (event->type() == QEvent::WindowDeactivate && isVisible())
        trace(QGuiApplication::focusWindow() ? "popover-deactivated-to-own-window" : "popover-deactivated");
    if (event->type() == QEvent::WindowDeactivate && isVisible() && m_activatedSinceShown &&
        m_scheduler.now() - m_shownAt > kSettleSeconds)
        m_scheduler.postAfter(kDeactivationSeconds, this, [this] {
            if (isVisible() && !isActiveWindow() && !QApplication::activePopupWidget() && !m_hotkeyHeld &&
                !m_pasteHold) {
                m_deactivatedAt = m_scheduler.now();
                performClose("popover-closed-deactivated");
            } else if (isVisible()) {
                trace("popover-kept");
            }
        });
    return QWidget::event(event);
}

} // namespace ondrel
