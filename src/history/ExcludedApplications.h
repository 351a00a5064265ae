#pragma once

#include <QString>
#include <QStringList>

namespace ondrel {

namespace platform {
class Settings;
struct ApplicationInfo;
} // namespace platform

// The applications whose copies are left out of the history (the setting
// history/excludedApplications): ids as desktops give them, or the names
// the history shows, compared without regard to case.
namespace exclusions {

// The list as set, each application once.
QStringList list(const platform::Settings& settings);
// Adds `id` to the list; false when it is on it already (or empty).
bool add(platform::Settings& settings, const QString& id);
void remove(platform::Settings& settings, const QString& id);
// Whether `app` is on `excluded`, by any of its ids or by its name.
bool matches(const QStringList& excluded, const platform::ApplicationInfo& app);

} // namespace exclusions

} // namespace ondrel
