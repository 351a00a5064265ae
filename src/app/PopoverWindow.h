#pragma once

#include <QWidget>

#include <functional>
#include <optional>

namespace ondrel {

namespace platform {
class Scheduler;
}
class PopoverContent;

// The frameless window the history shows in, under the tray icon. Like a
// transient popover it closes when the user works elsewhere.
class PopoverWindow final : public QWidget
{
    Q_OBJECT
public:
    // Times its decisions on `scheduler`'s clock.
    PopoverWindow(PopoverContent* content, platform::Scheduler& scheduler, QWidget* parent = nullptr);

    PopoverContent* content() const { return m_content; }
    bool isShown() const { return isVisible(); }
    // Opens under `anchor` (the tray icon; empty: at the pointer), inside
    // the available area of that screen, and takes the keyboard.
    void showRelativeTo(const QRect& anchor);
    // `why` names the reason in the trace (tests read why it went).
    void performClose(const char* why = "popover-closed");
    // Closes it `seconds` from now unless it was closed meanwhile: a later
    // opening is the user's and stays.
    void closeAfter(double seconds);
    // Whether it closed by losing the focus within the last `seconds` (a
    // click on the tray icon does that just before the click arrives).
    bool closedByDeactivationWithin(double seconds) const;
    // While the global hotkey is down its key grab has the keyboard: losing
    // the focus to it is not working elsewhere.
    void setHotkeyHeld(bool held) { m_hotkeyHeld = held; }
    // The paste keystroke of a row chosen with the mouse went out: it moved
    // the focus to the window pasted into; take it back and stay open.
    void takeFocusBackAfterPaste();
    // How it asks for the keyboard when it opens and after a paste (the
    // user asked for it, by hotkey, tray or click; default: the toolkit's request).
    void setActivator(std::function<void(PopoverWindow&)> activator) { m_activator = std::move(activator); }

    // Losing the focus in the first moments after showing does not close it.
    static constexpr double kSettleSeconds = 0.25;
    // How long the focus must stay elsewhere before it closes.
    static constexpr double kDeactivationSeconds = 0.15;
    // How long the focus may take to come back after a paste before the
    // popover counts as left.
    static constexpr double kRefocusSeconds = 1.0;

Q_SIGNALS:
    void closed();

protected:
    bool event(QEvent* event) override;

private:
    void takeKeyboard();

    PopoverContent* m_content;
    QWidget* m_outline;
    platform::Scheduler& m_scheduler;
    std::optional<double> m_deactivatedAt; // when it last closed for losing the focus
    double m_shownAt = 0;
    quint64 m_openings = 0; // counts showings, so that a timer knows its own
    bool m_activatedSinceShown = false;
    bool m_hotkeyHeld = false;
    std::function<void(PopoverWindow&)> m_activator;
    bool m_pasteHold = false; // from a row click until the focus is back after its paste
};

} // namespace ondrel
