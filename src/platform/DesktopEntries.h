#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace ondrel::platform {

// The installed applications' desktop entries ($XDG_DATA_HOME and
// $XDG_DATA_DIRS, "applications" folders), matched to a window.
class DesktopEntries final
{
public:
    struct Entry
    {
        QString id; // file name without ".desktop", sub-folders joined by "-"
        QString name;
        QString icon; // a theme name or an absolute path
        QString startupWMClass;
        QString executable; // base name of the first word of Exec
    };

    // Reads the entries below each folder (earlier folders win, as in XDG).
    explicit DesktopEntries(const QStringList& dataFolders = defaultDataFolders());
    static QStringList defaultDataFolders();

    // The entry of a window: by StartupWMClass, then by desktop id (also the
    // last part of a reverse-DNS id), then by executable name.
    std::optional<Entry> match(const QString& wmInstance, const QString& wmClass,
                               const QString& executable) const;

    // One entry file; none when it is not a visible application.
    static std::optional<Entry> parse(const QString& path, const QString& id);

private:
    QList<Entry> m_entries;
};

} // namespace ondrel::platform
