#pragma once

#include <QElapsedTimer>
#include <QWidget>

namespace ondrel {

class ClipboardListView;

// The frameless window the history shows in, under the tray icon. Like a
// transient popover it closes when the user works elsewhere.
class PopoverWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit PopoverWindow(ClipboardListView* content, QWidget* parent = nullptr);

    ClipboardListView* content() const { return m_content; }
    bool isShown() const { return isVisible(); }
    // Opens under `anchor` (the tray icon; empty: at the pointer), inside
    // the available area of that screen, and takes the keyboard.
    void showRelativeTo(const QRect& anchor);
    void performClose();
    // Whether it closed by losing the focus within the last `ms` (a click
    // on the tray icon does that just before the click arrives).
    bool closedByDeactivationWithin(int ms) const;

Q_SIGNALS:
    void closed();

protected:
    bool event(QEvent* event) override;

private:
    ClipboardListView* m_content;
    static constexpr int kSettleMs = 250;
    QElapsedTimer m_deactivated;
    QElapsedTimer m_shown;
    bool m_activatedSinceShown = false;
};

} // namespace ondrel
