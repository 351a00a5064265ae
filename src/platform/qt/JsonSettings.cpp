#include "JsonSettings.h"

#include "Json.h"
#include "PrivateFiles.h"
#include "SettingsKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <cmath>
#include <functional>
#include <limits>

Q_LOGGING_CATEGORY(lcSettings, "ondrel.settings")

namespace ondrel::platform {

namespace {

QVariant toVariant(const json::Value& v)
{
    switch (v.kind()) {
    case json::Value::Kind::Null:
        return QVariant::fromValue(nullptr);
    case json::Value::Kind::Bool:
        return v.asBool();
    case json::Value::Kind::Number:
        if (auto n = v.toInt64())
            return QVariant::fromValue(static_cast<qlonglong>(*n));
        return v.toDouble().value_or(std::numeric_limits<double>::quiet_NaN());
    case json::Value::Kind::String:
        return QString::fromStdString(v.text());
    case json::Value::Kind::Array: {
        QVariantList list;
        for (const auto& item : v.items())
            list.append(toVariant(item));
        return list;
    }
    case json::Value::Kind::Object: {
        QVariantMap map;
        for (std::size_t i = 0; i < v.items().size(); ++i)
            map.insert(QString::fromStdString(v.keys()[i]), toVariant(v.items()[i]));
        return map;
    }
    }
    return {};
}

json::Value toJson(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return json::Value::boolean(v.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return json::Value::integer(v.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
        return json::Value::number(std::to_string(v.toULongLong()), true);
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        return std::isfinite(d) ? json::Value::floating(d) : json::Value::null();
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        json::Value array = json::Value::array();
        for (const QVariant& item : v.toList())
            array.append(toJson(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        json::Value object = json::Value::object();
        const QVariantMap map = v.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            object.insert(it.key().toStdString(), toJson(it.value()));
        return object;
    }
    case QMetaType::Nullptr:
    case QMetaType::UnknownType:
        return json::Value::null();
    default:
        return json::Value::string(v.toString().toStdString());
    }
}

// Groups ("hotkeys/togglePopover") are objects in the file: a reader sees
// {"hotkeys":{"togglePopover":…}}. Reading flattens them back into paths.
void flatten(const json::Value& object, const QString& prefix, QSettings::SettingsMap& map)
{
    for (std::size_t i = 0; i < object.items().size(); ++i) {
        const QString key = prefix + QString::fromStdString(object.keys()[i]);
        const json::Value& value = object.items()[i];
        if (value.isObject() && !value.items().empty())
            flatten(value, key + u'/', map);
        else
            map.insert(key, toVariant(value));
    }
}

QVariantMap nest(const QSettings::SettingsMap& map)
{
    QVariantMap root;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QStringList path = it.key().split(u'/');
        // Walk down, then rebuild the maps on the way up (QVariant holds copies).
        std::function<void(QVariantMap&, qsizetype)> put = [&](QVariantMap& level, qsizetype i) {
            if (i + 1 == path.size()) {
                level.insert(path[i], it.value());
                return;
            }
            QVariantMap child = level.value(path[i]).toMap();
            put(child, i + 1);
            level.insert(path[i], child);
        };
        put(root, 0);
    }
    return root;
}

std::optional<QSettings::SettingsMap> decode(const QByteArray& bytes)
{
    // An empty file is what an interrupted first start can leave; it holds nothing.
    if (bytes.trimmed().isEmpty())
        return QSettings::SettingsMap();
    const auto root = json::parse(std::string_view(bytes.constData(), bytes.size()));
    if (!root || !root->isObject())
        return std::nullopt;
    QSettings::SettingsMap map;
    flatten(*root, {}, map);
    return map;
}

bool readJson(QIODevice& device, QSettings::SettingsMap& map)
{
    auto decoded = decode(device.readAll());
    if (!decoded)
        return false;
    map = std::move(*decoded);
    return true;
}

bool writeJson(QIODevice& device, const QSettings::SettingsMap& map)
{
    const std::string text = json::write(toJson(nest(map))) + '\n';
    return device.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
}

QSettings::Format jsonFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("json"), readJson, writeJson);
    return format;
}

// Makes sure QSettings never replaces a file it could not read: such a file
// is moved aside first, with one console line naming the new place.
void prepareFile(const QString& path)
{
    ensurePrivateFolder(QFileInfo(path).absolutePath());
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        // Created with the private mode up front; atomic rewrites keep it.
        writePrivateFile(path, QByteArrayLiteral("{}\n"));
        return;
    }
    QFile file(path);
    const bool readable = info.isFile() && file.open(QIODevice::ReadOnly);
    if (readable && decode(file.readAll()))
        return;
    file.close();
    if (auto moved = moveAside(path))
        qCWarning(lcSettings).noquote()
            << "Settings file" << path << "could not be read; moved it to" << *moved;
    else
        qCWarning(lcSettings).noquote() << "Settings file" << path << "could not be read or moved aside;"
                                        << "settings will not be saved";
}

} // namespace

JsonSettings::JsonSettings(const QString& filePath, QObject* parent) : Settings(parent), m_path(filePath)
{
    prepareFile(m_path);
    m_settings = std::make_unique<QSettings>(m_path, jsonFormat());
    // Readers never see a half-written file, and an unwritable folder means
    // no write at all rather than a write in place.
    m_settings->setAtomicSyncRequired(true);
    adoptFormerNames();
}

void JsonSettings::adoptFormerNames()
{
    bool changed = false;
    const auto adopt = [this, &changed](const QString& former, const QString& current) {
        if (!m_settings->contains(former))
            return;
        // A value already under the new name was set later: it wins.
        if (!m_settings->contains(current))
            m_settings->setValue(current, m_settings->value(former));
        m_settings->remove(former);
        changed = true;
    };
    for (const auto& [former, current] : keys::kFormerNames)
        adopt(former, current);
    for (const QString& key : m_settings->allKeys())
        if (key.startsWith(keys::kFormerShortcutPrefix))
            adopt(key, keys::shortcutPrefix + key.mid(keys::kFormerShortcutPrefix.size()));
    if (changed)
        persist();
}

JsonSettings::~JsonSettings() = default;

QString JsonSettings::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ondrel/settings.json");
}

QVariant JsonSettings::value(const QString& key) const
{
    return m_settings->value(key);
}

void JsonSettings::setValue(const QString& key, const QVariant& value)
{
    const QVariant old = m_settings->value(key);
    m_settings->setValue(key, value);
    persist();
    if (old.typeId() != value.typeId() || old != value)
        Q_EMIT valueChanged(key);
}

void JsonSettings::remove(const QString& key)
{
    const bool had = m_settings->contains(key);
    m_settings->remove(key);
    persist();
    if (had)
        Q_EMIT valueChanged(key);
}

QVariantMap JsonSettings::allValues() const
{
    QVariantMap map;
    for (const QString& key : m_settings->allKeys())
        map.insert(key, m_settings->value(key));
    return map;
}

void JsonSettings::persist()
{
    // Settings change rarely; writing at once means a crash loses none.
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        qCWarning(lcSettings).noquote() << "Could not save settings to" << m_path;
    else
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace ondrel::platform
