#include "RecorderCocoa.h"
#include "RecorderChecks.h"

#include "Alerts.h"
#include "KeyCodes.h"
#include "KeyboardShortcuts.h"
#include "Keys.h"
#include "MainQueue.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace ondrel::KeyboardShortcuts {

namespace {

// The flags a recorded key counts: the modifier part, without Caps Lock and
// the keypad bit.
constexpr quint64 kRecordedModifierMask = 0xFFDE0000;
// Held with nothing of these, only function keys may stand alone.
constexpr quint64 kRequiredModifierMask = 0xFF5C0000;
constexpr qint64 kTabKey = 48, kEscapeKey = 53, kDeleteKey = 51, kForwardDeleteKey = 117, kF12Key = 111;

} // namespace

RecorderCocoa::RecorderCocoa(Registry& registry, platform::Alerts& alerts, platform::MainQueue& queue,
                             const Name& name, std::function<void(std::optional<Shortcut>)> onChange,
                             QWidget* parent)
    : QLineEdit(parent), m_registry(registry), m_alerts(alerts), m_queue(queue), m_name(name),
      m_onChange(std::move(onChange))
{
    setAccessibleName(QStringLiteral("Keyboard shortcut"));
    setPlaceholderText(localized(QStringLiteral("record_shortcut")));
    setAlignment(Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setContextMenuPolicy(Qt::NoContextMenu);
    m_cancelButton =
        addAction(style()->standardIcon(QStyle::SP_LineEditClearButton), QLineEdit::TrailingPosition);
    m_cancelButton->setText(QStringLiteral("Clear shortcut"));
    connect(m_cancelButton, &QAction::triggered, this, &RecorderCocoa::clickCancelButton);
    showStoredShortcut();
    connect(&registry, &Registry::shortcutByNameDidChange, this, [this](const Name& changed) {
        if (changed.rawValue() == m_name.rawValue())
            showStoredShortcut();
    });
    m_menus = [] {
        QList<QMenu*> menus;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* menu = qobject_cast<QMenu*>(w))
                menus << menu;
        return menus;
    };
}

RecorderCocoa::~RecorderCocoa()
{
    endRecording();
}

void RecorderCocoa::setShortcutName(const Name& name)
{
    const bool changed = name.rawValue() != m_name.rawValue();
    m_name = name;
    if (changed)
        showStoredShortcut();
}

QSize RecorderCocoa::sizeHint() const
{
    return QSize(int(minimumWidth), QLineEdit::sizeHint().height());
}

QSize RecorderCocoa::minimumSizeHint() const
{
    return sizeHint();
}

bool RecorderCocoa::isCancelButtonShown() const
{
    return m_cancelButton->isVisible();
}

void RecorderCocoa::updateCancelButton()
{
    m_cancelButton->setVisible(!text().isEmpty());
}

void RecorderCocoa::showStoredShortcut()
{
    const auto shortcut = m_registry.getShortcut(m_name);
    setText(shortcut ? m_registry.label(*shortcut) : QString());
    updateCancelButton();
}

void RecorderCocoa::clickCancelButton()
{
    clear();
    textCleared();
}

void RecorderCocoa::textCleared()
{
    if (text().isEmpty()) {
        m_registry.setShortcut(std::nullopt, m_name);
        if (m_onChange)
            m_onChange(std::nullopt);
    }
    updateCancelButton();
    if (text().isEmpty())
        focus(); // record the replacement at once
}

bool RecorderCocoa::event(QEvent* event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::ParentChange)
        watchWindow();
    else if (event->type() == QEvent::Hide)
        endRecording();
    return QLineEdit::event(event);
}

void RecorderCocoa::watchWindow()
{
    QWidget* w = window();
    if (w == m_window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = w;
    if (m_window) {
        m_window->installEventFilter(this);
        preventBecomingKey();
    }
}

void RecorderCocoa::preventBecomingKey()
{
    // Declines the focus while its window is becoming active, so that
    // opening the window does not start recording by itself.
    m_canBecomeKey = false;
    m_queue.async(this, [this] { m_canBecomeKey = true; });
}

void RecorderCocoa::focusInEvent(QFocusEvent* event)
{
    const Qt::FocusReason reason = event->reason();
    if (!m_canBecomeKey && (reason == Qt::ActiveWindowFocusReason || reason == Qt::TabFocusReason ||
                            reason == Qt::BacktabFocusReason)) {
        QLineEdit::focusInEvent(event);
        clearFocus();
        return;
    }
    QLineEdit::focusInEvent(event);
    if (window())
        startRecording();
}

void RecorderCocoa::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    // A centred field hides its placeholder while focused (for the caret);
    // recording has no caret and should say what it waits for.
    if (!m_recording || !text().isEmpty())
        return;
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(area, Qt::AlignCenter, placeholderText());
}

void RecorderCocoa::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    endRecording();
}

void RecorderCocoa::startRecording()
{
    if (m_recording)
        return;
    m_recording = true;
    setPlaceholderText(localized(QStringLiteral("press_shortcut")));
    updateCancelButton();
    setReadOnly(true); // no caret while recording
    m_registry.setPaused(true);
    m_registry.postRecorderActiveStatus(true);
    qApp->installEventFilter(this);
}

void RecorderCocoa::endRecording()
{
    if (!m_recording)
        return;
    m_recording = false;
    qApp->removeEventFilter(this);
    setPlaceholderText(localized(QStringLiteral("record_shortcut")));
    updateCancelButton();
    setReadOnly(false);
    m_registry.setPaused(false);
    m_registry.postRecorderActiveStatus(false);
}

void RecorderCocoa::blur()
{
    clearFocus();
    endRecording();
}

void RecorderCocoa::focus()
{
    setFocus(Qt::OtherFocusReason);
    if (hasFocus())
        startRecording();
}

bool RecorderCocoa::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::WindowDeactivate) {
            endRecording();
            clearFocus();
        } else if (event->type() == QEvent::WindowActivate) {
            preventBecomingKey();
        }
        return QLineEdit::eventFilter(watched, event);
    }
    if (m_recording && (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonRelease))
        return handleRecordingEvent(event);
    return QLineEdit::eventFilter(watched, event);
}

bool RecorderCocoa::handleRecordingEvent(QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton)
            return false;
        const QPoint global = mouse->globalPosition().toPoint();
        // The clear button needs its release to be clicked at all.
        for (QObject* object : m_cancelButton->associatedObjects()) {
            const auto* button = qobject_cast<QWidget*>(object);
            if (button && button != this && button->isVisible() &&
                button->rect().contains(button->mapFromGlobal(global)))
                return false;
        }
        const QPoint at = mapFromGlobal(global);
        if (!rect().adjusted(-3, -3, 3, 3).contains(at)) {
            blur();
            return false; // the click does its usual work
        }
        return true;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        // A modifier on its own is the start of a combination, not one.
        return true;
    default:
        break;
    }
    const quint64 flags = platform::keycodes::modifierFlagsOf(key->modifiers()) & kRecordedModifierMask &
                          ~(ModifierFlags::capsLock | ModifierFlags::numericPad);
    const auto code = platform::keycodes::keyCodeOf(*key);
    if (flags == 0 && code == kTabKey)
        return false; // focus moves on to the next field, which ends recording
    if (flags == 0 && code == kEscapeKey) {
        blur();
        return true;
    }
    if (flags == 0 && (code == kDeleteKey || code == kForwardDeleteKey)) {
        clickCancelButton();
        return true;
    }
    if ((flags & kRequiredModifierMask) == 0 && !(code && isFunctionKey(*code))) {
        m_alerts.beep();
        return true;
    }
    const auto shortcut = code ? Shortcut::fromEvent(kKeyDownEvent, *code, flags) : std::nullopt;
    if (!shortcut) {
        m_alerts.beep();
        return true;
    }
    if (const auto item = menuItemUsing(*shortcut)) {
        blur();
        QString title = localized(QStringLiteral("keyboard_shortcut_used_by_menu_item"));
        title.replace(QStringLiteral("%@"), *item);
        m_alerts.warn(window(), title, {}, {});
        focus();
        return true;
    }
    if (const auto reason = applicationKeyReason(*shortcut, m_registry.layout())) {
        blur();
        m_alerts.warn(
            window(),
            QStringLiteral("%1 cannot be used as a global shortcut").arg(m_registry.label(*shortcut)),
            *reason + QStringLiteral(" Choose one with Super or Alt."), {});
        focus();
        return true;
    }
    const bool isBareF12 = shortcut->carbonKeyCode() == kF12Key && shortcut->carbonModifiers() == 0;
    bool forced = false;
    if (!isBareF12 && m_registry.carbon().isSystemShortcut(*shortcut)) {
        blur();
        const int answer =
            m_alerts.warn(window(), localized(QStringLiteral("keyboard_shortcut_used_by_system")),
                          localized(QStringLiteral("keyboard_shortcuts_can_be_changed")),
                          {localized(QStringLiteral("ok")), localized(QStringLiteral("force_use_shortcut"))});
        focus();
        if (answer != platform::Alerts::kSecondButton)
            return true;
        forced = true;
    }
    const std::optional<Shortcut> previous = m_registry.getShortcut(m_name);
    m_registry.storeShortcut(*shortcut, m_name);
    if (forced && !m_registry.carbon().isHeld(*shortcut)) {
        // Where only one program may hold a combination (X11), the one that
        // has it keeps it: a stored shortcut would never fire. Keep the
        // previous one and say why.
        m_registry.setShortcut(previous, m_name);
        showStoredShortcut();
        blur();
        m_alerts.warn(window(),
                      QStringLiteral("%1 is held by another application").arg(m_registry.label(*shortcut)),
                      QStringLiteral("Ondrel cannot use it while that application runs. Choose another "
                                     "shortcut."),
                      {});
        focus();
        return true;
    }
    setText(m_registry.label(*shortcut));
    m_cancelButton->setVisible(true);
    if (m_onChange)
        m_onChange(shortcut);
    blur();
    return true;
}

std::optional<QString> RecorderCocoa::menuItemUsing(const Shortcut& shortcut) const
{
    QList<QMenu*> menus = m_menus ? m_menus() : QList<QMenu*>();
    const std::unique_ptr<QMenu> built = m_buildMenu ? m_buildMenu() : nullptr;
    if (built)
        menus << built.get();
    return menuItemWith(shortcut, m_registry.layout(), menus);
}

} // namespace ondrel::KeyboardShortcuts
