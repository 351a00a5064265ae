#pragma once

#include "Shortcut.h"

#include <QLineEdit>
#include <QPointer>

#include <functional>
#include <optional>

class QAction;
class QMenu;

namespace ondrel::platform {
class Alerts;
class MainQueue;
} // namespace ondrel::platform

namespace ondrel::KeyboardShortcuts {

class Registry;

// The field that records a Name's global shortcut. It shows the stored
// shortcut; with the keyboard focus it records the next combination, refuses
// what cannot work or is taken, stores what it accepts, and clears the
// shortcut through its clear button, Delete or Backspace. While it records,
// hotkey callbacks are paused.
class RecorderCocoa final : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr qreal minimumWidth = 130.0;

    // What decides the one check that depends on the system (sandboxed
    // programs on some system versions may not use Option combinations).
    struct Environment
    {
        int osMajorVersion = 0;
        int osMinorVersion = 0;
        bool sandboxed = false;
        // This system, with the sandbox marker read once per run.
        static Environment current();
    };

    RecorderCocoa(Registry& registry, platform::Alerts& alerts, platform::MainQueue& queue, const Name& name,
                  std::function<void(std::optional<Shortcut>)> onChange = {}, QWidget* parent = nullptr);
    ~RecorderCocoa() override;

    const Name& shortcutName() const { return m_name; }
    void setShortcutName(const Name& name);
    bool canBecomeKey() const { return m_canBecomeKey; }
    bool isRecording() const { return m_recording; }
    bool isCaretHidden() const { return isReadOnly(); }
    bool isCancelButtonShown() const;
    void clickCancelButton();

    void setEnvironment(const Environment& environment) { m_environment = environment; }
    // The menus searched for a conflicting key equivalent (default: every
    // menu of the application).
    void setApplicationMenus(std::function<QList<QMenu*>()> menus) { m_menus = std::move(menus); }

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
    bool isDisallowed(const Shortcut& shortcut) const;

    Registry& m_registry;
    platform::Alerts& m_alerts;
    platform::MainQueue& m_queue;
    Name m_name;
    std::function<void(std::optional<Shortcut>)> m_onChange;
    QAction* m_cancelButton = nullptr;
    bool m_canBecomeKey = false;
    bool m_recording = false;
    QPointer<QWidget> m_window;
    Environment m_environment = Environment::current();
    std::function<QList<QMenu*>()> m_menus;
};

// The recorder as a form row: an optional label, then the field.
class Recorder final : public QWidget
{
    Q_OBJECT
public:
    Recorder(Registry& registry, platform::Alerts& alerts, platform::MainQueue& queue, const Name& name,
             const QString& label = {}, std::function<void(std::optional<Shortcut>)> onChange = {},
             QWidget* parent = nullptr);
    RecorderCocoa* field() const { return m_field; }
    bool hasLabel() const { return !m_label.isEmpty(); }
    const QString& label() const { return m_label; }
    void setName(const Name& name);

private:
    RecorderCocoa* m_field;
    QString m_label;
};

} // namespace ondrel::KeyboardShortcuts
