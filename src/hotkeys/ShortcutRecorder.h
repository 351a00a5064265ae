#pragma once

#include "RecorderCocoa.h"

#include <QWidget>

namespace ondrel::KeyboardShortcuts {

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
