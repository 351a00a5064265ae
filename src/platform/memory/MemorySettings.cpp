#include "MemorySettings.h"

namespace ondrel::platform {

void MemorySettings::setValue(const QString& key, const QVariant& value)
{
    const QVariant old = m_values.value(key);
    m_values.insert(key, value);
    if (old.typeId() != value.typeId() || old != value)
        Q_EMIT valueChanged(key);
}

void MemorySettings::remove(const QString& key)
{
    if (m_values.remove(key) > 0)
        Q_EMIT valueChanged(key);
}

} // namespace ondrel::platform
