#include "Settings.h"

#include "SettingsKeys.h"

namespace ondrel::platform {

QVariant Settings::valueOrDefault(const QString& key) const
{
    const QVariant v = value(key);
    return v.isValid() ? v : keys::defaultValue(key);
}

qint64 Settings::integer(const QString& key) const
{
    const QVariant v = valueOrDefault(key);
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return v.toLongLong();
    case QMetaType::Double: {
        const double d = v.toDouble();
        // Out-of-range and non-finite values are not numbers we can use.
        if (!(d > -9.2e18 && d < 9.2e18))
            return 0;
        return static_cast<qint64>(d);
    }
    case QMetaType::QString: {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        return ok ? n : 0;
    }
    default:
        return 0;
    }
}

std::optional<QString> Settings::string(const QString& key) const
{
    const QVariant v = valueOrDefault(key);
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    return v.toString();
}

bool Settings::boolean(const QString& key) const
{
    const QVariant v = valueOrDefault(key);
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        return s == u"true" || s == u"yes" || s.toLongLong() != 0;
    }
    return integer(key) != 0;
}

QStringList Settings::stringList(const QString& key) const
{
    const QVariant v = valueOrDefault(key);
    const QVariantList members = v.typeId() == QMetaType::QString ? QVariantList{v} : v.toList();
    QStringList strings;
    for (const QVariant& member : members) {
        if (member.typeId() != QMetaType::QString)
            continue;
        if (const QString s = member.toString().trimmed(); !s.isEmpty())
            strings << s;
    }
    return strings;
}

QMetaObject::Connection Settings::observe(const QString& key, const QObject* context,
                                          std::function<void()> fn)
{
    return connect(this, &Settings::valueChanged, context, [key, fn = std::move(fn)](const QString& changed) {
        if (changed == key)
            fn();
    });
}

} // namespace ondrel::platform
