#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace ondrel {

namespace platform {
class Settings;
}
class HistoryStore;

// The settings' list of applications whose copies are never recorded:
// remove the one chosen, or add one the history has seen (by the name its
// entries show) or an id typed in (a desktop id, X11 class or Wayland
// app_id). Where the desktop does not tell which application copied, it
// says that the list cannot work there.
class ExcludedAppsBox final : public QGroupBox
{
    Q_OBJECT
public:
    // `sourcesKnown`: the desktop tells which application has the focus.
    ExcludedAppsBox(platform::Settings& settings, const HistoryStore& store, bool sourcesKnown,
                    QWidget* parent = nullptr);

    QListWidget* list() const { return m_list; }
    QComboBox* picker() const { return m_picker; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    // Shown where exclusions cannot work; null elsewhere.
    QLabel* note() const { return m_note; }

private:
    void sync();

    platform::Settings& m_settings;
    const HistoryStore& m_store;
    QListWidget* m_list = nullptr;
    QComboBox* m_picker = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QLabel* m_note = nullptr;
};

} // namespace ondrel
