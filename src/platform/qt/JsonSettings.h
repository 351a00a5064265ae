#pragma once

#include "UserDefaults.h"

#include <QSettings>

#include <memory>

namespace ondrel::platform {

// User defaults in a JSON file (by default $XDG_CONFIG_HOME/Brisol/defaults.json)
// through QSettings. The file is private (0600, folder 0700) and replaced
// atomically; a file that cannot be read is moved aside, never overwritten.
class SettingsUserDefaults final : public UserDefaults
{
    Q_OBJECT
public:
    explicit SettingsUserDefaults(const QString& filePath = defaultFilePath(), QObject* parent = nullptr);
    ~SettingsUserDefaults() override;

    static QString defaultFilePath();
    QString filePath() const { return m_path; }

    QVariant object(const QString& key) const override;
    void setObject(const QString& key, const QVariant& value) override;
    void removeObject(const QString& key) override;
    QVariantMap dictionaryRepresentation() const override;

private:
    void persist();

    QString m_path;
    std::unique_ptr<QSettings> m_settings;
};

} // namespace ondrel::platform
