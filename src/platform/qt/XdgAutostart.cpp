#include "XdgAutostart.h"

#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace ondrel::platform {

XdgAutostart::XdgAutostart(QString executable) : m_executable(std::move(executable)) {}

QString XdgAutostart::entryPath() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/ondrel.desktop");
}

bool XdgAutostart::isEnabled() const
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // An entry the user switched off in the session settings does not count.
    const QByteArray text = file.readAll();
    return !text.contains("\nHidden=true") && !text.contains("\nX-GNOME-Autostart-enabled=false");
}

namespace {
// Desktop-entry Exec quoting: arguments with spaces or specials in double quotes.
QString quoted(const QString& path)
{
    QString escaped = path;
    for (const char* c : {"\\", "\"", "`", "$"})
        escaped.replace(QString::fromLatin1(c), QStringLiteral("\\") + QString::fromLatin1(c));
    return u'"' + escaped + u'"';
}
} // namespace

std::optional<QString> XdgAutostart::enable()
{
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("cannot create the folder %1").arg(QFileInfo(path).absolutePath());
    const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Ondrel\n"
                                         "Comment=Clipboard history\nExec=%1\nIcon=ondrel\nTerminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(quoted(m_executable));
    QString error;
    if (!writePrivateFile(path, entry.toUtf8(), &error))
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
