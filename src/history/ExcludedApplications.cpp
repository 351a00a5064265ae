#include "ExcludedApplications.h"

#include "FocusTracker.h"
#include "Settings.h"
#include "SettingsKeys.h"

namespace ondrel::exclusions {

QStringList list(const platform::Settings& settings)
{
    QStringList ids;
    for (const QString& id : settings.stringList(keys::excludedApplications))
        if (!ids.contains(id, Qt::CaseInsensitive))
            ids << id;
    return ids;
}

bool add(platform::Settings& settings, const QString& id)
{
    const QString trimmed = id.trimmed();
    QStringList ids = list(settings);
    if (trimmed.isEmpty() || ids.contains(trimmed, Qt::CaseInsensitive))
        return false;
    settings.setStringList(keys::excludedApplications, ids << trimmed);
    return true;
}

void remove(platform::Settings& settings, const QString& id)
{
    QStringList ids = list(settings);
    ids.removeIf([&](const QString& each) { return each.compare(id.trimmed(), Qt::CaseInsensitive) == 0; });
    settings.setStringList(keys::excludedApplications, ids);
}

bool matches(const QStringList& excluded, const platform::ApplicationInfo& app)
{
    // The history keeps only an application's name: a row's "Don't Record
    // from" adds that, so names count as well as ids.
    if (app.name && excluded.contains(*app.name, Qt::CaseInsensitive))
        return true;
    for (const QString& id : app.ids)
        if (excluded.contains(id, Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace ondrel::exclusions
