#include "ShortcutRecorder.h"

#include <QHBoxLayout>
#include <QLabel>

namespace ondrel::hotkeys {

ShortcutRecorder::ShortcutRecorder(Registry& registry, platform::Alerts& alerts,
                                   platform::Scheduler& scheduler, const Name& name, const QString& label,
                                   std::function<void(std::optional<Shortcut>)> onChange, QWidget* parent)
    : QWidget(parent),
      m_field(new ShortcutField(registry, alerts, scheduler, name, std::move(onChange), this)), m_label(label)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    if (!label.isEmpty()) {
        auto* text = new QLabel(label, this);
        text->setBuddy(m_field);
        row->addWidget(text);
        m_field->setAccessibleName(label);
    }
    row->addWidget(m_field);
    row->addStretch(1);
}

void ShortcutRecorder::setName(const Name& name)
{
    m_field->setShortcutName(name);
}

} // namespace ondrel::hotkeys
