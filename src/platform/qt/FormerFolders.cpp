#include "FormerFolders.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcFolders, "ondrel.folders")

namespace ondrel::platform {

namespace {

int renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return errno;
    // A file system that cannot refuse to replace: look first.
    struct stat existing
    {};
    if (::lstat(to.constData(), &existing) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Copies the tree at `from` into the new folder `to` (which must not
// exist), folders 0700 and files 0600 as the program keeps them.
bool copyTree(const QString& from, const QString& to, QString* error)
{
    if (::mkdir(QFile::encodeName(to).constData(), 0700) != 0) {
        *error = errorText(errno);
        return false;
    }
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString target = to + u'/' + QDir(from).relativeFilePath(info.filePath());
        if (info.isSymLink()) {
            if (!QFile::link(info.symLinkTarget(), target)) {
                *error = QStringLiteral("cannot copy the link %1").arg(info.filePath());
                return false;
            }
        } else if (info.isDir()) {
            if (::mkdir(QFile::encodeName(target).constData(), 0700) != 0) {
                *error = errorText(errno);
                return false;
            }
        } else {
            QFile source(info.filePath());
            if (!source.copy(target)) {
                *error = QStringLiteral("cannot copy %1: %2").arg(info.filePath(), source.errorString());
                return false;
            }
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        }
    }
    return true;
}

} // namespace

FolderMove moveFormerFolder(const QString& from, const QString& to, const RenameFn& renameFn)
{
    const RenameFn rename = renameFn ? renameFn : RenameFn(renameNoReplace);
    struct stat old
    {};
    if (::lstat(QFile::encodeName(from).constData(), &old) != 0)
        return {};
    struct stat existing
    {};
    if (::lstat(QFile::encodeName(to).constData(), &existing) == 0)
        return {FolderMove::Outcome::keptBoth, {}};
    if (!S_ISDIR(old.st_mode) || old.st_uid != ::getuid())
        return {FolderMove::Outcome::failed,
                QStringLiteral("%1 was not moved to %2: it is not a folder of this user").arg(from, to)};

    QDir().mkpath(QFileInfo(to).absolutePath());
    const int error = rename(QFile::encodeName(from), QFile::encodeName(to));
    if (error == 0)
        return {FolderMove::Outcome::moved, QStringLiteral("Moved %1 to %2").arg(from, to)};
    if (error == EEXIST || error == ENOTEMPTY)
        return {FolderMove::Outcome::keptBoth, {}}; // another start got there first
    if (error != EXDEV)
        return {FolderMove::Outcome::failed,
                QStringLiteral("%1 was not moved to %2: %3").arg(from, to, errorText(error))};

    // Another file system: copy beside the new place, then rename into it,
    // so that a cut-off copy never passes for the history.
    QByteArray partial = QFile::encodeName(to + QStringLiteral(".partial-XXXXXX"));
    if (!::mkdtemp(partial.data()))
        return {FolderMove::Outcome::failed,
                QStringLiteral("%1 was not copied to %2: %3").arg(from, to, errorText(errno))};
    ::rmdir(partial.constData());
    const QString partialPath = QFile::decodeName(partial);
    QString why;
    int done = copyTree(from, partialPath, &why) ? rename(partial, QFile::encodeName(to)) : -1;
    if (done == 0)
        return {FolderMove::Outcome::copied,
                QStringLiteral("Copied %1 to %2 (another file system); the old folder is left as it was")
                    .arg(from, to)};
    QDir(partialPath).removeRecursively();
    if (done > 0)
        why = errorText(done);
    return {FolderMove::Outcome::failed, QStringLiteral("%1 was not copied to %2: %3").arg(from, to, why)};
}

void adoptFormerFolders()
{
    const auto report = [](const FolderMove& move) {
        if (move.message.isEmpty())
            return;
        if (move.outcome == FolderMove::Outcome::failed)
            qCWarning(lcFolders).noquote() << move.message;
        else
            qCInfo(lcFolders).noquote() << move.message;
    };
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    report(moveFormerFolder(data + QStringLiteral("/Brisol"), data + QStringLiteral("/ondrel")));

    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString folder = config + QStringLiteral("/ondrel");
    report(moveFormerFolder(config + QStringLiteral("/Brisol"), folder));
    const QByteArray former = QFile::encodeName(folder + QStringLiteral("/defaults.json"));
    const QByteArray current = QFile::encodeName(folder + QStringLiteral("/settings.json"));
    if (::access(former.constData(), F_OK) == 0 && renameNoReplace(former, current) == 0)
        qCInfo(lcFolders).noquote() << "Renamed" << QFile::decodeName(former) << "to"
                                    << QFile::decodeName(current);
}

} // namespace ondrel::platform
