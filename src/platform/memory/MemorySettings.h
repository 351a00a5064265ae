#pragma once

#include "UserDefaults.h"

namespace ondrel::platform {

// User defaults held in memory only.
class MemoryUserDefaults final : public UserDefaults
{
    Q_OBJECT
public:
    using UserDefaults::UserDefaults;

    QVariant object(const QString& key) const override { return m_values.value(key); }
    void setObject(const QString& key, const QVariant& value) override;
    void removeObject(const QString& key) override;
    QVariantMap dictionaryRepresentation() const override { return m_values; }

private:
    QVariantMap m_values;
};

} // namespace ondrel::platform
