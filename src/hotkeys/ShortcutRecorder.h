#pragma once

#include "ShortcutField.h"

#include <QWidget>

namespace ondrel::hotkeys {

// The recorder as a form row: an optional label, then the field.
class ShortcutRecorder final : public QWidget
{
    Q_OBJECT
public:
    ShortcutRecorder(Registry& registry, platform::Alerts& alerts, platform::Scheduler& scheduler,
                     const Name& name, const QString& label = {},
                     std::function<void(std::optional<Shortcut>)> onChange = {}, QWidget* parent = nullptr);
    ShortcutField* field() const { return m_field; }
    bool hasLabel() const { return !m_label.isEmpty(); }
    const QString& label() const { return m_label; }
    void setName(const Name& name);

private:
    ShortcutField* m_field;
    QString m_label;
};

} // namespace ondrel::hotkeys
