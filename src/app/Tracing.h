#pragma once

#include <QObject>

class QWidget;

// With ONDREL_TRACE set, the moments the budgets are measured by, and what
// end-to-end tests need to find on screen, go to standard error as lines
// starting with "trace ".
namespace ondrel {

bool tracing();
// "trace <what> <milliseconds since the epoch>".
void trace(const char* what);

// Says when the popover has been painted after each opening.
class PaintTracer final : public QObject
{
public:
    explicit PaintTracer(QWidget* window);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    bool m_waiting = false;
};

// Once a menu of the application is on screen, names each of its entries
// with the screen point at its centre: "trace menu-item <x> <y> <text>".
class MenuTracer final : public QObject
{
public:
    MenuTracer();
    ~MenuTracer() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* m_painted = nullptr; // the menu whose entries were last told
};

} // namespace ondrel
