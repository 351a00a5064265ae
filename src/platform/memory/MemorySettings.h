#pragma once

#include "Settings.h"

namespace ondrel::platform {

// Settings held in memory only.
class MemorySettings final : public Settings
{
    Q_OBJECT
public:
    using Settings::Settings;

    QVariant value(const QString& key) const override { return m_values.value(key); }
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;
    QVariantMap allValues() const override { return m_values; }

private:
    QVariantMap m_values;
};

} // namespace ondrel::platform
