#include "SettingsKeys.h"

#include <QHash>

namespace ondrel::keys {

QVariant defaultValue(const QString& key)
{
    static const QHash<QString, QVariant> defaults = {
        {maxHistoryItems, qlonglong(50)},       {maxEntryBytes, qlonglong(64) << 20},
        {accentColor, QStringLiteral("Coral")}, {keepClipboardContents, true},
        {recordPrimarySelection, false},        {automaticChecks, false},
        {automaticallyUpdate, false},           {appearance, QStringLiteral("System")},
    };
    return defaults.value(key);
}

} // namespace ondrel::keys
