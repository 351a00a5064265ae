#include "XdgAutostart.h"

#include "AppId.h"
#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace ondrel::platform {

XdgAutostart::XdgAutostart(QString executable) : m_executable(std::move(executable)) {}

namespace {

QString autostartFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

bool isEnabledEntry(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // An entry the user switched off in the session settings does not count.
    const QByteArray text = file.readAll();
    return !text.contains("\nHidden=true") && !text.contains("\nX-GNOME-Autostart-enabled=false");
}

// The installed entry, so that what a distribution changed in it holds at
// login too; a program run from its build folder has its own copy.
QByteArray desktopEntry()
{
    const QString name = appId() + QStringLiteral(".desktop");
    QFile installed(QStandardPaths::locate(QStandardPaths::ApplicationsLocation, name));
    if (!installed.fileName().isEmpty() && installed.open(QIODevice::ReadOnly))
        return installed.readAll();
    QFile own(QStringLiteral(":/desktop/") + name);
    return own.open(QIODevice::ReadOnly) ? own.readAll() : QByteArray();
}

// Desktop-entry Exec quoting: arguments with spaces or specials in double quotes.
QString quoted(const QString& path)
{
    QString escaped = path;
    for (const char* c : {"\\", "\"", "`", "$"})
        escaped.replace(QString::fromLatin1(c), QStringLiteral("\\") + QString::fromLatin1(c));
    return u'"' + escaped + u'"';
}
} // namespace

QString XdgAutostart::entryPath() const
{
    return autostartFolder() + u'/' + appId() + QStringLiteral(".desktop");
}

bool XdgAutostart::isEnabled() const
{
    return isEnabledEntry(entryPath());
}

std::optional<QString> XdgAutostart::adoptFormerEntry()
{
    QFile former(autostartFolder() + QStringLiteral("/ondrel.desktop"));
    if (!former.exists())
        return std::nullopt;
    if (isEnabledEntry(former.fileName()) && !QFile::exists(entryPath()))
        if (auto error = enable())
            return error;
    if (!former.remove())
        return QStringLiteral("cannot remove %1: %2").arg(former.fileName(), former.errorString());
    return std::nullopt;
}

std::optional<QString> XdgAutostart::enable()
{
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("cannot create the folder %1").arg(QFileInfo(path).absolutePath());
    QStringList lines = QString::fromUtf8(desktopEntry()).split(u'\n', Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return QStringLiteral("no desktop entry %1.desktop is installed").arg(appId());
    // The installed entry runs `ondrel` from the PATH; the session may have
    // another PATH, or this one may not be installed there.
    for (QString& line : lines)
        if (line.startsWith(u"Exec="))
            line = QStringLiteral("Exec=") + quoted(m_executable);
    lines << QStringLiteral("X-GNOME-Autostart-enabled=true");
    QString error;
    if (!writePrivateFile(path, (lines.join(u'\n') + u'\n').toUtf8(), &error))
        return QStringLiteral("cannot write %1: %2").arg(path, error);
    return std::nullopt;
}

std::optional<QString> XdgAutostart::disable()
{
    QFile file(entryPath());
    if (!file.exists())
        return std::nullopt;
    if (!file.remove())
        return QStringLiteral("cannot remove %1: %2").arg(file.fileName(), file.errorString());
    return std::nullopt;
}

} // namespace ondrel::platform
