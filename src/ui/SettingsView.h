#pragma once

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QFormLayout;

class QLabel;

namespace ondrel {

namespace platform {
class Alerts;
class Autostart;
class Scheduler;
class Settings;
} // namespace platform
namespace hotkeys {
class Name;
class ShortcutRecorder;
class Registry;
} // namespace hotkeys
class ExcludedAppsBox;
class HistoryStore;
class ThemeManager;

// The settings window's content: look and accent colour, global hotkey, history size,
// whether mouse selections are recorded, applications not recorded, launch
// at login, version. Every control writes its setting at once.
class SettingsView final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 350;
    static constexpr int kHeight = 514;
    static constexpr int kNoteHeight = 30; // the hotkey note, on desktops without global hotkeys
    // The note that exclusions cannot work, on desktops that do not name the source of a copy.
    static constexpr int kExclusionsNoteHeight = 30;
    static inline const QString kMadeBy = QStringLiteral("Kestrune");

    struct Services
    {
        ThemeManager& theme;
        platform::Settings& settings;
        platform::Autostart& autostart;
        hotkeys::Registry& shortcuts;
        platform::Alerts& alerts;
        platform::Scheduler& scheduler;
        const HistoryStore& store;
        bool sourcesKnown = true; // the desktop tells which application copied
    };

    SettingsView(Services services, const hotkeys::Name& hotkey, QString version, QWidget* parent = nullptr);
    ~SettingsView() override;

    QComboBox* historyPicker() const { return m_picker; }
    QComboBox* appearancePicker() const { return m_appearance; }
    QCheckBox* launchAtLoginToggle() const { return m_launchAtLogin; }
    QCheckBox* recordSelectionToggle() const { return m_recordSelection; }
    ExcludedAppsBox* exclusions() const { return m_exclusions; }
    hotkeys::ShortcutRecorder* recorder() const { return m_recorder; }
    // What to do instead of recording, on a desktop without global hotkeys
    // or one that binds them itself (else null or hidden).
    QLabel* hotkeyNote() const { return m_hotkeyNote; }
    // Console output of the launch-at-login change (standard output by default).
    void setConsole(std::function<void(const QString&)> console) { m_console = std::move(console); }

private:
    void launchAtLoginChanged(bool on);
    void syncPicker();
    void updateHotkeyNote();
    void syncAppearance();
    // The window's colours for the look in effect: the desktop's own in the
    // light look, the theme's in the dark one.
    void applyLook();

    Services m_services;
    QComboBox* m_picker = nullptr;
    QComboBox* m_appearance = nullptr;
    QCheckBox* m_launchAtLogin = nullptr;
    QCheckBox* m_recordSelection = nullptr;
    hotkeys::ShortcutRecorder* m_recorder = nullptr;
    QLabel* m_hotkeyNote = nullptr;
    QFormLayout* m_hotkeyForm = nullptr;
    ExcludedAppsBox* m_exclusions = nullptr;
    bool m_revertingLaunchAtLogin = false;
    std::function<void(const QString&)> m_console;
};

} // namespace ondrel
