#include "MemoryUserDefaults.h"

namespace ondrel::platform {

void MemoryUserDefaults::setObject(const QString& key, const QVariant& value)
{
    const QVariant old = m_values.value(key);
    m_values.insert(key, value);
    if (old.typeId() != value.typeId() || old != value)
        Q_EMIT valueChanged(key);
}

void MemoryUserDefaults::removeObject(const QString& key)
{
    if (m_values.remove(key) > 0)
        Q_EMIT valueChanged(key);
}

} // namespace ondrel::platform
