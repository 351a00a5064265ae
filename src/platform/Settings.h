#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace ondrel::platform {

// The lasting, typed key-value store of settings. Values keep their type
// (integer, string, boolean); a write is visible to every later read at once.
class Settings : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The stored value, or an invalid QVariant when the key is absent.
    virtual QVariant value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const QVariant& value) = 0;
    virtual void remove(const QString& key) = 0;
    virtual QVariantMap allValues() const = 0;

    // The typed getters read the key's default (SettingsKeys.h) while
    // nothing is stored under it.
    // The stored integer; 0 when absent without a default or not a number.
    qint64 integer(const QString& key) const;
    // The stored string; none when absent without a default or not a string.
    std::optional<QString> string(const QString& key) const;
    // The stored boolean; false when absent without a default.
    bool boolean(const QString& key) const;
    // The strings of a stored list, trimmed, without empty ones and without
    // members of other types (a hand-edited file may hold anything); a
    // single string stored instead of a list counts as a list of one.
    QStringList stringList(const QString& key) const;
    bool contains(const QString& key) const { return value(key).isValid(); }
    void setInteger(const QString& key, qint64 value) { setValue(key, QVariant::fromValue(value)); }
    void setString(const QString& key, const QString& value) { setValue(key, value); }
    void setBool(const QString& key, bool value) { setValue(key, value); }
    void setStringList(const QString& key, const QStringList& value) { setValue(key, value); }

    // Calls `fn` whenever `key` changes, while `context` lives.
    QMetaObject::Connection observe(const QString& key, const QObject* context, std::function<void()> fn);

private:
    QVariant valueOrDefault(const QString& key) const;

Q_SIGNALS:
    // Emitted after a key's value changed (set to a different value, or removed).
    void valueChanged(const QString& key);
};

} // namespace ondrel::platform
