#include "DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QStandardPaths>

namespace ondrel::platform {

QStringList DesktopEntries::defaultDataFolders()
{
    return QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
}

DesktopEntries::DesktopEntries(const QStringList& dataFolders)
{
    QSet<QString> seen;
    for (const QString& folder : dataFolders) {
        const QString applications = folder + QStringLiteral("/applications");
        // Filtered here rather than by a name pattern, which would compile
        // a regular expression (and load its engine) for this alone.
        QDirIterator it(applications, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!path.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive))
                continue;
            QString id = QDir(applications).relativeFilePath(path);
            id.chop(8); // ".desktop"
            id.replace(u'/', u'-');
            if (seen.contains(id))
                continue;
            seen.insert(id);
            if (auto entry = parse(path, id))
                m_entries.append(*entry);
        }
    }
}

std::optional<DesktopEntries::Entry> DesktopEntries::parse(const QString& path, const QString& id)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    const QString language = QLocale().name();                  // e.g. de_DE
    const QString shortLanguage = language.section(u'_', 0, 0); // de
    bool inMainGroup = false;
    QHash<QString, QString> values;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        if (!inMainGroup || line.startsWith(u'#'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0)
            values.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    if (values.value(QStringLiteral("Type")) != u"Application" ||
        values.value(QStringLiteral("NoDisplay")) == u"true" ||
        values.value(QStringLiteral("Hidden")) == u"true")
        return std::nullopt;
    Entry e;
    e.id = id;
    e.name = values.value(
        QStringLiteral("Name[%1]").arg(language),
        values.value(QStringLiteral("Name[%1]").arg(shortLanguage), values.value(QStringLiteral("Name"))));
    e.icon = values.value(QStringLiteral("Icon"));
    e.startupWMClass = values.value(QStringLiteral("StartupWMClass"));
    const QString exec = values.value(QStringLiteral("Exec")).section(u' ', 0, 0, QString::SectionSkipEmpty);
    e.executable = QFileInfo(exec).fileName();
    if (e.name.isEmpty())
        return std::nullopt;
    return e;
}

std::optional<DesktopEntries::Entry> DesktopEntries::match(const QString& wmInstance, const QString& wmClass,
                                                           const QString& executable) const
{
    const auto same = [](const QString& a, const QString& b) {
        return !a.isEmpty() && !b.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
    };
    for (const Entry& e : m_entries)
        if (same(e.startupWMClass, wmClass) || same(e.startupWMClass, wmInstance))
            return e;
    for (const Entry& e : m_entries) {
        const QString lastPart = e.id.section(u'.', -1);
        if (same(e.id, wmClass) || same(e.id, wmInstance) || same(lastPart, wmClass) ||
            same(lastPart, wmInstance))
            return e;
    }
    for (const Entry& e : m_entries)
        if (same(e.executable, executable) || same(e.executable, wmInstance))
            return e;
    return std::nullopt;
}

} // namespace ondrel::platform
