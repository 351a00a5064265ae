#include "SettingsView.h"

#include "HotKeyRegistrations.h"
#include "Registry.h"

#include "Autostart.h"
#include "ExcludedAppsBox.h"
#include "Fonts.h"
#include "HistoryStore.h"
#include "Painting.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "ShortcutRecorder.h"
#include "Theme.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <cstdio>

namespace ondrel {

namespace {

// The accent colours' names as the swatches tell them.
[[maybe_unused]] constexpr const char* kAccentNames[] = {
    QT_TRANSLATE_NOOP("ondrel::Accent", "Grey"),     QT_TRANSLATE_NOOP("ondrel::Accent", "Orange"),
    QT_TRANSLATE_NOOP("ondrel::Accent", "Lavender"), QT_TRANSLATE_NOOP("ondrel::Accent", "Mint"),
    QT_TRANSLATE_NOOP("ondrel::Accent", "Sky"),      QT_TRANSLATE_NOOP("ondrel::Accent", "Coral"),
    QT_TRANSLATE_NOOP("ondrel::Accent", "Butter"),
};

// The looks as the picker names them, in the order of kAllAppearances.
[[maybe_unused]] constexpr const char* kAppearanceNames[] = {
    QT_TRANSLATE_NOOP("ondrel::SettingsView", "System"),
    QT_TRANSLATE_NOOP("ondrel::SettingsView", "Light"),
    QT_TRANSLATE_NOOP("ondrel::SettingsView", "Dark"),
};

constexpr int kSwatch = 28;
constexpr int kFocusRing = 3; // room around a swatch for its focus ring
constexpr int kHistoryChoices[] = {25, 50, 100, 200};

// One accent: its light colour in an ink ring on a hard shadow, with a check
// mark when it is the current accent. Reached with Tab (a click does not
// take the focus), and ringed in the palette's focus colour while it has it,
// so that Space never changes the accent unseen.
class Swatch final : public QAbstractButton
{
public:
    Swatch(AccentColor accent, ThemeManager& theme, QWidget* parent)
        : QAbstractButton(parent), m_accent(accent), m_theme(theme)
    {
        // The stored value stays English; the name shown is the language's own.
        setToolTip(QCoreApplication::translate("ondrel::Accent", rawValue(accent).toUtf8().constData()));
        setAccessibleName(toolTip());
        setCheckable(false);
        setFixedSize(kSwatch + 3 + 2 * kFocusRing, kSwatch + 3 + 2 * kFocusRing);
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
        connect(this, &QAbstractButton::clicked, this,
                [this] { m_theme.setAccentColorRawAnimated(rawValue(m_accent)); });
        connect(&theme, &ThemeManager::colorsChanged, this, qOverload<>(&QWidget::update));
    }
    bool isCurrent() const { return m_theme.accentColor() == m_accent; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (hasFocus()) {
            painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
        }
        painter.translate(kFocusRing, kFocusRing);
        const QRectF circle(1, 1, kSwatch - 2, kSwatch - 2);
        const bool dark = m_theme.isDark();
        const QColor ink = m_theme.palette().ink;
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawEllipse(circle.translated(2, 2));
        painter.setBrush(ondrel::palette(m_accent, dark).light);
        painter.setPen(QPen(ink, 2));
        painter.drawEllipse(circle);
        // Butter's light shade is the one pale enough to need a dark check.
        if (isCurrent())
            paint::drawSymbol(painter, circle, u"check",
                              m_accent == AccentColor::butter && !dark ? Qt::black : Qt::white, 12,
                              SymbolWeight::bold);
    }

private:
    AccentColor m_accent;
    ThemeManager& m_theme;
};

QGroupBox* section(const QString& title, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    box->setFlat(true);
    return box;
}

} // namespace

SettingsView::SettingsView(Services services, const hotkeys::Name& hotkey, QString version, QWidget* parent)
    : QWidget(parent), m_services(services)
{
    setWindowTitle(tr("Ondrel Settings"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 10, 16, 10);
    column->setSpacing(4);

    // Appearance.
    QGroupBox* appearance = section(tr("Appearance"), this);
    auto* appearanceColumn = new QVBoxLayout(appearance);
    appearanceColumn->setSpacing(12);
    appearanceColumn->setContentsMargins(4, 4, 4, 4);
    auto* lookRow = new QHBoxLayout;
    auto* lookLabel = new QLabel(tr("Appearance:"), appearance);
    lookLabel->setFont(systemFont(12));
    m_appearance = new QComboBox(appearance);
    m_appearance->setAccessibleName(tr("Appearance"));
    for (Appearance look : kAllAppearances)
        m_appearance->addItem(tr(kAppearanceNames[static_cast<std::size_t>(look)]), rawValue(look));
    lookLabel->setBuddy(m_appearance);
    syncAppearance();
    connect(m_appearance, &QComboBox::activated, this, [this](int index) {
        m_services.theme.setAppearanceRaw(m_appearance->itemData(index).toString());
    });
    m_services.settings.observe(keys::appearance, this, [this] { syncAppearance(); });
    lookRow->addWidget(lookLabel);
    lookRow->addWidget(m_appearance);
    lookRow->addStretch(1);
    appearanceColumn->addLayout(lookRow);
    auto* accentLabel = new QLabel(tr("Accent Color"), appearance);
    accentLabel->setFont(systemFont(12));
    appearanceColumn->addWidget(accentLabel);
    auto* swatches = new QHBoxLayout;
    swatches->setSpacing(8 - 2 * kFocusRing);
    for (AccentColor accent : kAllAccentColors)
        swatches->addWidget(new Swatch(accent, services.theme, appearance));
    swatches->addStretch(1);
    appearanceColumn->addLayout(swatches);
    column->addWidget(appearance);

    // General.
    QGroupBox* general = section(tr("General"), this);
    auto* form = new QFormLayout(general);
    form->setContentsMargins(4, 4, 4, 4);
    // A long combination ("Ctrl+Alt+Shift+Super+Page Down") shows whole
    // under its label rather than cut beside it.
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    m_recorder = new hotkeys::ShortcutRecorder(services.shortcuts, services.alerts, services.scheduler,
                                               hotkey, {}, {}, general);
    m_recorder->field()->setAccessibleName(tr("Global Hotkey"));
    form->addRow(tr("Global Hotkey:"), m_recorder);
    m_hotkeyForm = form;
    updateHotkeyNote();
    services.shortcuts.registrations().setDescriptionHandler([this] { updateHotkeyNote(); });
    m_picker = new QComboBox(general);
    m_picker->setAccessibleName(tr("Max History Items"));
    for (int choice : kHistoryChoices)
        m_picker->addItem(QString::number(choice), choice);
    syncPicker();
    connect(m_picker, &QComboBox::activated, this, [this](int index) {
        m_services.settings.setInteger(keys::maxHistoryItems, m_picker->itemData(index).toInt());
    });
    m_services.settings.observe(keys::maxHistoryItems, this, [this] { syncPicker(); });
    form->addRow(tr("Max History Items:"), m_picker);
    m_recordSelection = new QCheckBox(tr("Also record text selected with the mouse"), general);
    const auto syncRecordSelection = [this] {
        m_recordSelection->setChecked(m_services.settings.boolean(keys::recordPrimarySelection));
    };
    syncRecordSelection();
    connect(m_recordSelection, &QCheckBox::toggled, this,
            [this](bool on) { m_services.settings.setBool(keys::recordPrimarySelection, on); });
    m_services.settings.observe(keys::recordPrimarySelection, this, syncRecordSelection);
    form->addRow(m_recordSelection);
    column->addWidget(general);
    m_exclusions = new ExcludedAppsBox(services.settings, services.store, services.sourcesKnown, this);
    column->addWidget(m_exclusions);

    // Startup.
    QGroupBox* startup = section(tr("Startup"), this);
    auto* startupColumn = new QVBoxLayout(startup);
    startupColumn->setContentsMargins(4, 4, 4, 4);
    m_launchAtLogin = new QCheckBox(tr("Launch at Login"), startup);
    m_launchAtLogin->setChecked(services.autostart.isEnabled());
    connect(m_launchAtLogin, &QCheckBox::toggled, this, &SettingsView::launchAtLoginChanged);
    startupColumn->addWidget(m_launchAtLogin);
    column->addWidget(startup);

    // About.
    QGroupBox* about = section(tr("About"), this);
    auto* aboutForm = new QVBoxLayout(about);
    aboutForm->setContentsMargins(4, 4, 4, 4);
    const auto aboutRow = [about, aboutForm](const QString& label, const QString& value) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(label, about));
        row->addStretch(1);
        auto* text = new QLabel(value, about);
        text->setForegroundRole(QPalette::PlaceholderText);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        row->addWidget(text);
        aboutForm->addLayout(row);
    };
    aboutRow(tr("Version"), version.isEmpty() ? QStringLiteral("1.0.0") : version);
    aboutRow(tr("Made by"), kMadeBy);
    column->addWidget(about);
    column->addStretch(1);
    applyLook();
    connect(&services.theme, &ThemeManager::darkChanged, this, &SettingsView::applyLook);
}

SettingsView::~SettingsView()
{
    m_services.shortcuts.registrations().setDescriptionHandler({});
}

void SettingsView::updateHotkeyNote()
{
    // A desktop without global hotkeys, or one that binds them itself: what
    // to do instead, in place of a recorder that could never work.
    QString note = m_services.shortcuts.registrations().unavailableReason();
    if (const QString triggers = m_services.shortcuts.registrations().assignedTriggers(); !triggers.isEmpty())
        note = tr("The desktop runs this hotkey as %1. Change it in the desktop's settings.").arg(triggers);
    m_recorder->field()->setEnabled(note.isEmpty());
    if (!m_hotkeyNote && !note.isEmpty()) {
        m_hotkeyNote = new QLabel(m_recorder->parentWidget());
        m_hotkeyNote->setWordWrap(true);
        m_hotkeyNote->setFont(systemFont(10));
        QPalette palette = m_hotkeyNote->palette();
        palette.setColor(QPalette::WindowText, m_services.theme.palette().inkSecondary);
        m_hotkeyNote->setPalette(palette);
        int row = 0;
        QFormLayout::ItemRole role;
        m_hotkeyForm->getWidgetPosition(m_recorder, &row, &role);
        m_hotkeyForm->insertRow(row + 1, m_hotkeyNote);
    }
    if (m_hotkeyNote) {
        m_hotkeyNote->setText(note);
        m_hotkeyNote->setVisible(!note.isEmpty());
    }
    setFixedSize(kWidth, kHeight + (note.isEmpty() ? 0 : kNoteHeight) +
                             (m_services.sourcesKnown ? 0 : kExclusionsNoteHeight));
}

void SettingsView::syncAppearance()
{
    m_appearance->setCurrentIndex(m_appearance->findData(rawValue(m_services.theme.appearance())));
}

void SettingsView::applyLook()
{
    const AccentPalette colors = m_services.theme.palette();
    if (!m_services.theme.isDark()) {
        setPalette(QPalette());
    } else {
        QPalette p = palette();
        const auto set = [&p](QPalette::ColorRole role, const QColor& color) {
            p.setColor(QPalette::All, role, color);
        };
        set(QPalette::Window, colors.faint);
        set(QPalette::WindowText, colors.ink);
        set(QPalette::Base, colors.surface);
        set(QPalette::AlternateBase, colors.soft);
        set(QPalette::Text, colors.ink);
        set(QPalette::Button, colors.surface);
        set(QPalette::ButtonText, colors.ink);
        set(QPalette::PlaceholderText, colors.inkSecondary);
        set(QPalette::Highlight, colors.light);
        set(QPalette::HighlightedText, colors.ink);
        set(QPalette::ToolTipBase, colors.surface);
        set(QPalette::ToolTipText, colors.ink);
        set(QPalette::Light, colors.soft.lighter(150));
        set(QPalette::Midlight, colors.soft);
        set(QPalette::Mid, colors.inkSecondary.darker(150));
        set(QPalette::Dark, colors.faint);
        set(QPalette::Shadow, Qt::black);
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            p.setColor(QPalette::Disabled, role, colors.inkSecondary);
        setPalette(p);
    }
    // The notes keep their secondary ink in both looks.
    for (QLabel* note : {m_hotkeyNote, m_exclusions->note()}) {
        if (!note)
            continue;
        QPalette p = note->palette();
        p.setColor(QPalette::WindowText, colors.inkSecondary);
        note->setPalette(p);
    }
}

void SettingsView::syncPicker()
{
    // A stored value that is none of the choices stays stored: nothing is shown selected.
    const qint64 stored = m_services.settings.integer(keys::maxHistoryItems);
    m_picker->setCurrentIndex(m_picker->findData(int(stored)));
}

void SettingsView::launchAtLoginChanged(bool on)
{
    // Setting the toggle back after a failure is a change too: it must not
    // try the opposite change in turn.
    if (m_revertingLaunchAtLogin)
        return;
    const auto error = on ? m_services.autostart.enable() : m_services.autostart.disable();
    if (!error)
        return;
    const QString line = QStringLiteral("Failed to ") +
                         (on ? QStringLiteral("enable") : QStringLiteral("disable")) +
                         QStringLiteral(" launch at login: ") + *error;
    if (m_console)
        m_console(line);
    else
        std::printf("%s\n", line.toUtf8().constData()), std::fflush(stdout);
    m_revertingLaunchAtLogin = true;
    m_launchAtLogin->setChecked(!on);
    m_revertingLaunchAtLogin = false;
}

} // namespace ondrel
