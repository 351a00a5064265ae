#pragma once

#include "Shortcut.h"

#include <QLineEdit>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;

namespace ondrel::platform {
class Alerts;
class Scheduler;
} // namespace ondrel::platform

namespace ondrel::hotkeys {

class Registry;

// Named after the toolkit control it mirrors; here it is a QLineEdit.
// The field that records a Name's global shortcut. It shows the stored
// shortcut; with the keyboard focus it records the next combination, refuses
// what cannot work or is taken, stores what it accepts, and clears the
// shortcut through its clear button, Delete or Backspace. While it records,
// hotkey callbacks are paused.
class ShortcutField final : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr qreal minimumWidth = 130.0;

    ShortcutField(Registry& registry, platform::Alerts& alerts, platform::Scheduler& scheduler,
                  const Name& name, std::function<void(std::optional<Shortcut>)> onChange = {},
                  QWidget* parent = nullptr);
    ~ShortcutField() override;

    const Name& shortcutName() const { return m_name; }
    void setShortcutName(const Name& name);
    bool acceptsFocus() const { return m_canBecomeKey; }
    bool isRecording() const { return m_recording; }
    bool isCaretHidden() const { return isReadOnly(); }
    bool isCancelButtonShown() const;
    void clickCancelButton();

    // The menus searched for a conflicting key equivalent (default: every
    // menu of the application).
    void setApplicationMenus(std::function<QList<QMenu*>()> menus) { m_menus = std::move(menus); }
    // Builds a menu of the application that exists only while it is open
    // (the tray's menu), so that its key equivalents are checked too.
    void setMenuBuilder(std::function<std::unique_ptr<QMenu>()> build) { m_buildMenu = std::move(build); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void showStoredShortcut();
    void updateCancelButton();
    void startRecording();
    void endRecording();
    void preventBecomingKey();
    void watchWindow();
    void textCleared();
    // Answers true to swallow the event.
    bool handleRecordingEvent(QEvent* event);
    void blur();
    void focus();
    std::optional<QString> menuItemUsing(const Shortcut& shortcut) const;

    Registry& m_registry;
    platform::Alerts& m_alerts;
    platform::Scheduler& m_scheduler;
    Name m_name;
    std::function<void(std::optional<Shortcut>)> m_onChange;
    QAction* m_cancelButton = nullptr;
    bool m_canBecomeKey = false;
    bool m_recording = false;
    bool m_resumeOnActivation = false;
    QPointer<QWidget> m_window;
    std::function<QList<QMenu*>()> m_menus;
    std::function<std::unique_ptr<QMenu>()> m_buildMenu;
};

} // namespace ondrel::hotkeys
