#include "PrivateFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace ondrel::platform {

bool ensurePrivateFolder(const QString& folder)
{
    QDir dir(folder);
    if (dir.exists())
        return true;
    if (!dir.mkpath(QStringLiteral(".")))
        return false;
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return true;
}

bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    // Unbuffered: a buffered QFileDevice takes a short write (full disk, file
    // size limit) for success, and commit() would then put a truncated file
    // in place of the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // Set on the temporary file, so the data is never readable by others,
    // not even for a moment.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    qsizetype written = 0;
    while (written < bytes.size()) {
        // A short write is retried once more for the rest, which then fails
        // with the reason (no space left, file too large).
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0)
            break;
        written += qsizetype(n);
    }
    if (written != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

std::optional<QString> moveAside(const QString& path)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString target = path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = path + QStringLiteral(".corrupt-") + stamp + u'-' + QString::number(n);
    // QDir::rename moves folders as well as files, and never crosses devices.
    if (!QDir().rename(path, target))
        return std::nullopt;
    return target;
}

} // namespace ondrel::platform
