#include "ShortcutField.h"
#include "RecorderChecks.h"

#include "Alerts.h"
#include "KeyCodes.h"
#include "Keys.h"
#include "Registry.h"
#include "Scheduler.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace ondrel::hotkeys {

namespace {

// The flags a recorded key counts: the modifier part, without Caps Lock and
// the keypad bit.
constexpr quint64 kRecordedModifierMask = 0xFFDE0000;
// Held with nothing of these, only keys that type nothing may stand alone
// (canStandAlone).
constexpr quint64 kRequiredModifierMask = 0xFF5C0000;
constexpr qint64 kTabKey = 48, kEscapeKey = 53, kDeleteKey = 51, kForwardDeleteKey = 117, kF12Key = 111;

} // namespace

ShortcutField::ShortcutField(Registry& registry, platform::Alerts& alerts, platform::Scheduler& scheduler,
                             const Name& name, std::function<void(std::optional<Shortcut>)> onChange,
                             QWidget* parent)
    : QLineEdit(parent), m_registry(registry), m_alerts(alerts), m_scheduler(scheduler), m_name(name),
      m_onChange(std::move(onChange))
{
    setAccessibleName(tr("Keyboard shortcut"));
    setPlaceholderText(texts::recordShortcut());
    setAlignment(Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setContextMenuPolicy(Qt::NoContextMenu);
    m_cancelButton =
        addAction(style()->standardIcon(QStyle::SP_LineEditClearButton), QLineEdit::TrailingPosition);
    m_cancelButton->setText(tr("Clear shortcut"));
    connect(m_cancelButton, &QAction::triggered, this, &ShortcutField::clickCancelButton);
    showStoredShortcut();
    connect(this, &QLineEdit::textChanged, this, &QWidget::updateGeometry);
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

ShortcutField::~ShortcutField()
{
    endRecording();
}

void ShortcutField::setShortcutName(const Name& name)
{
    const bool changed = name.rawValue() != m_name.rawValue();
    m_name = name;
    if (changed)
        showStoredShortcut();
}

QSize ShortcutField::sizeHint() const
{
    // Wide enough for the whole label ("Ctrl+Alt+Shift+Super+Page Down")
    // and the placeholders: a line edit scrolls what does not fit, which
    // would show the end of a combination without its start. QLineEdit's
    // own hint is room for 17 "x" plus frame, margins and the clear button.
    const QSize base = QLineEdit::sizeHint();
    const QFontMetrics metrics = fontMetrics();
    const int chrome = base.width() - 17 * metrics.horizontalAdvance(u'x');
    int widest = 0;
    for (const QString& shown : {text(), texts::recordShortcut(), texts::pressShortcut()})
        widest = std::max(widest, metrics.horizontalAdvance(shown));
    // The caret's pixel beside the text.
    return QSize(std::max(int(minimumWidth), chrome + widest + 2), base.height());
}

QSize ShortcutField::minimumSizeHint() const
{
    return sizeHint();
}

bool ShortcutField::isCancelButtonShown() const
{
    return m_cancelButton->isVisible();
}

void ShortcutField::updateCancelButton()
{
    m_cancelButton->setVisible(!text().isEmpty());
}

void ShortcutField::showStoredShortcut()
{
    const auto shortcut = m_registry.getShortcut(m_name);
    setText(shortcut ? m_registry.shownLabel(*shortcut) : QString());
    updateCancelButton();
}

void ShortcutField::clickCancelButton()
{
    clear();
    textCleared();
}

void ShortcutField::textCleared()
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

bool ShortcutField::event(QEvent* event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::ParentChange)
        watchWindow();
    else if (event->type() == QEvent::Hide)
        endRecording();
    return QLineEdit::event(event);
}

void ShortcutField::watchWindow()
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

void ShortcutField::preventBecomingKey()
{
    // Declines the focus while its window is becoming active, so that
    // opening the window does not start recording by itself.
    m_canBecomeKey = false;
    m_scheduler.post(this, [this] { m_canBecomeKey = true; });
}

void ShortcutField::focusInEvent(QFocusEvent* event)
{
    const Qt::FocusReason reason = event->reason();
    if (!m_canBecomeKey && !m_resumeOnActivation &&
        (reason == Qt::ActiveWindowFocusReason || reason == Qt::TabFocusReason ||
         reason == Qt::BacktabFocusReason)) {
        QLineEdit::focusInEvent(event);
        clearFocus();
        return;
    }
    m_resumeOnActivation = false;
    QLineEdit::focusInEvent(event);
    if (window())
        startRecording();
}

void ShortcutField::paintEvent(QPaintEvent* event)
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

void ShortcutField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    endRecording();
}

void ShortcutField::startRecording()
{
    if (m_recording)
        return;
    m_recording = true;
    setPlaceholderText(texts::pressShortcut());
    updateCancelButton();
    setReadOnly(true); // no caret while recording
    m_registry.setPaused(true);
    m_registry.postRecorderActiveStatus(true);
    qApp->installEventFilter(this);
    // On X11 a combination another program has grabbed goes to that program,
    // never to the focused window: holding the keyboard brings it here, so
    // that it can be recorded or refused as taken.
    grabKeyboard();
}

void ShortcutField::endRecording()
{
    if (!m_recording)
        return;
    m_recording = false;
    releaseKeyboard();
    qApp->removeEventFilter(this);
    setPlaceholderText(texts::recordShortcut());
    updateCancelButton();
    setReadOnly(false);
    m_registry.setPaused(false);
    m_registry.postRecorderActiveStatus(false);
}

void ShortcutField::blur()
{
    clearFocus();
    endRecording();
}

void ShortcutField::focus()
{
    setFocus(Qt::OtherFocusReason);
    if (hasFocus()) {
        startRecording();
        return;
    }
    // After an alert, the window manager gives the window back a moment
    // later: the focus Qt then hands this field resumes recording.
    m_resumeOnActivation = true;
}

bool ShortcutField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::WindowDeactivate) {
            endRecording();
            clearFocus();
        } else if (event->type() == QEvent::WindowActivate) {
            if (m_resumeOnActivation) // only for the focus given back now
                m_scheduler.post(this, [this] { m_resumeOnActivation = false; });
            else
                preventBecomingKey();
        }
        return QLineEdit::eventFilter(watched, event);
    }
    if (m_recording && (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonRelease))
        return handleRecordingEvent(event);
    return QLineEdit::eventFilter(watched, event);
}

bool ShortcutField::handleRecordingEvent(QEvent* event)
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
    if ((flags & kRequiredModifierMask) == 0 && !(code && canStandAlone(*code))) {
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
        m_alerts.warn(window(), texts::usedByMenuItem(*item), {}, {});
        focus();
        return true;
    }
    if (const auto reason = applicationKeyReason(*shortcut, m_registry.layout())) {
        blur();
        m_alerts.warn(window(),
                      tr("%1 cannot be used as a global shortcut").arg(m_registry.shownLabel(*shortcut)),
                      *reason + u' ' + tr("Choose one with Super or Alt."), {});
        focus();
        return true;
    }
    const bool isBareF12 = shortcut->keyCode() == kF12Key && shortcut->storedModifiers() == 0;
    bool forced = false;
    if (!isBareF12 && m_registry.registrations().isSystemShortcut(*shortcut)) {
        blur();
        const int answer = m_alerts.warn(window(), texts::usedBySystem(), texts::canBeChanged(),
                                         {texts::ok(), texts::useAnyway()});
        focus();
        if (answer != platform::Alerts::kSecondButton)
            return true;
        forced = true;
    }
    const std::optional<Shortcut> previous = m_registry.getShortcut(m_name);
    m_registry.storeShortcut(*shortcut, m_name);
    if (forced && !m_registry.registrations().isHeld(*shortcut)) {
        // Where only one program may hold a combination (X11), the one that
        // has it keeps it: a stored shortcut would never fire. Keep the
        // previous one and say why.
        m_registry.setShortcut(previous, m_name);
        showStoredShortcut();
        blur();
        m_alerts.warn(window(), tr("%1 is held by another application").arg(m_registry.shownLabel(*shortcut)),
                      tr("Ondrel cannot use it while that application runs. Choose another shortcut."), {});
        focus();
        return true;
    }
    setText(m_registry.shownLabel(*shortcut));
    m_cancelButton->setVisible(true);
    if (m_onChange)
        m_onChange(shortcut);
    blur();
    return true;
}

std::optional<QString> ShortcutField::menuItemUsing(const Shortcut& shortcut) const
{
    QList<QMenu*> menus = m_menus ? m_menus() : QList<QMenu*>();
    const std::unique_ptr<QMenu> built = m_buildMenu ? m_buildMenu() : nullptr;
    if (built)
        menus << built.get();
    return menuItemWith(shortcut, m_registry.layout(), menus);
}

} // namespace ondrel::hotkeys
