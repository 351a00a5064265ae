#include "SettingsKeys.h"

#include <QHash>

namespace ondrel::keys {

QVariant defaultValue(const QString& key)
{
    static const QHash<QString, QVariant> defaults = {
        {maxHistoryItems, qlonglong(50)}, {accentColor, QStringLiteral("Coral")},
        {keepClipboardContents, true},    {automaticChecks, false},
        {automaticallyUpdate, false},
    };
    return defaults.value(key);
}

} // namespace ondrel::keys
