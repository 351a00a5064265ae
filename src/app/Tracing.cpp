#include "Tracing.h"

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>

namespace ondrel {

bool tracing()
{
    static const bool enabled = qEnvironmentVariableIsSet("ONDREL_TRACE");
    return enabled;
}

void trace(const char* what)
{
    if (!tracing())
        return;
    std::fprintf(stderr, "trace %s %lld\n", what, QDateTime::currentMSecsSinceEpoch());
    std::fflush(stderr);
}

PaintTracer::PaintTracer(QWidget* window) : m_window(window)
{
    window->winId(); // its native window exists from now on
    window->installEventFilter(this);
    window->windowHandle()->installEventFilter(this);
}

bool PaintTracer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Show)
        m_waiting = true;
    if (watched == m_window && event->type() == QEvent::Hide)
        trace("popover-hidden");
    // Keys typed from now on reach it.
    if (watched == m_window && event->type() == QEvent::WindowActivate)
        trace("popover-active");
    // A window is painted when it is exposed, later updates on request.
    const bool painting = (watched == m_window->windowHandle() && event->type() == QEvent::Expose) ||
                          (watched == m_window && event->type() == QEvent::UpdateRequest);
    if (m_waiting && painting) {
        m_waiting = false;
        // Runs once the painting of this request is done.
        QTimer::singleShot(0, [] { trace("popover-painted"); });
    }
    return false;
}

MenuTracer::MenuTracer()
{
    qApp->installEventFilter(this);
}

MenuTracer::~MenuTracer()
{
    qApp->removeEventFilter(this);
}

bool MenuTracer::eventFilter(QObject* watched, QEvent* event)
{
    auto* menu = qobject_cast<QMenu*>(watched);
    if (!menu)
        return false;
    if (event->type() == QEvent::Hide && m_painted == menu)
        m_painted = nullptr;
    // Painted means mapped: a click at the points told now reaches the menu.
    if (event->type() != QEvent::Paint || m_painted == menu)
        return false;
    m_painted = menu;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || action->text().isEmpty())
            continue;
        const QPoint centre = menu->mapToGlobal(menu->actionGeometry(action).center());
        std::fprintf(stderr, "trace menu-item %d %d %s\n", centre.x(), centre.y(),
                     qPrintable(action->text()));
    }
    std::fflush(stderr);
    return false;
}

} // namespace ondrel
