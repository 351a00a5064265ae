#pragma once

#include "Settings.h"

#include <QSettings>

#include <memory>

namespace ondrel::platform {

// Settings in a JSON file (by default $XDG_CONFIG_HOME/ondrel/settings.json)
// through QSettings. The file is private (0600, folder 0700) and replaced
// atomically; a file that cannot be read is moved aside, never overwritten.
class JsonSettings final : public Settings
{
    Q_OBJECT
public:
    explicit JsonSettings(const QString& filePath = defaultFilePath(), QObject* parent = nullptr);
    ~JsonSettings() override;

    static QString defaultFilePath();
    QString filePath() const { return m_path; }

    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;
    QVariantMap allValues() const override;

private:
    // Moves values stored under the names of earlier versions to today's.
    void adoptFormerNames();
    void persist();

    QString m_path;
    std::unique_ptr<QSettings> m_settings;
};

} // namespace ondrel::platform
