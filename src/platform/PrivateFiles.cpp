#include "PrivateFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace ondrel::platform {

namespace {

QString errnoText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

bool ensurePrivateFolder(const QString& folder, QString* error)
{
    const QByteArray name = QFile::encodeName(folder);
    struct stat st
    {};
    if (::stat(name.constData(), &st) != 0) {
        if (errno != ENOENT)
            return fail(error, errnoText(errno));
        if (!QDir(folder).mkpath(QStringLiteral(".")))
            return fail(error, QStringLiteral("cannot create it"));
        if (::chmod(name.constData(), S_IRWXU) != 0)
            return fail(error, errnoText(errno));
        return true;
    }
    if (!S_ISDIR(st.st_mode))
        return fail(error, QStringLiteral("it is not a folder"));
    if (st.st_uid != ::geteuid())
        return fail(error, QStringLiteral("it belongs to another user (uid %1)").arg(st.st_uid));
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0 && ::chmod(name.constData(), st.st_mode & S_IRWXU) != 0)
        return fail(error, errnoText(errno));
    return true;
}

namespace {

bool checkFolder(const struct stat& st, QString* error)
{
    if (S_ISLNK(st.st_mode))
        return fail(error, QStringLiteral("it is a symbolic link"));
    if (!S_ISDIR(st.st_mode))
        return fail(error, QStringLiteral("it is not a folder"));
    if (st.st_uid != ::geteuid())
        return fail(error, QStringLiteral("it belongs to another user (uid %1)").arg(st.st_uid));
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return fail(error, QStringLiteral("other users may use it (mode %1)")
                               .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0')));
    return true;
}

} // namespace

bool claimPrivateFolder(const QString& folder, QString* error)
{
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), S_IRWXU) != 0 && errno != EEXIST)
        return fail(error, errnoText(errno));
    // Made now or found, what stands under the name is looked at itself: a
    // link is not followed. In a sticky temporary folder only its owner can
    // rename or remove it afterwards.
    struct stat st
    {};
    if (::lstat(name.constData(), &st) != 0)
        return fail(error, errnoText(errno));
    return checkFolder(st, error);
}

bool isPrivateFolder(const QString& folder, QString* error)
{
    struct stat st
    {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return fail(error, errnoText(errno));
    return checkFolder(st, error);
}

PrivateRead readPrivateFile(const QString& path)
{
    PrivateRead result;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT)
            result.missing = true;
        else if (errno == ELOOP)
            result.error = QStringLiteral("it is a symbolic link");
        else
            result.error = errnoText(errno);
        return result;
    }
    struct stat st
    {};
    if (::fstat(fd, &st) != 0) {
        result.error = errnoText(errno);
    } else if (!S_ISREG(st.st_mode)) {
        result.error = QStringLiteral("it is not a regular file");
    } else if (st.st_uid != ::geteuid()) {
        result.error = QStringLiteral("it belongs to another user (uid %1)").arg(st.st_uid);
    } else {
        QFile file;
        if (file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
            QByteArray bytes = file.readAll();
            if (file.error() == QFileDevice::NoError)
                result.bytes = std::move(bytes);
            else
                result.error = file.errorString();
        } else {
            result.error = file.errorString();
        }
    }
    ::close(fd);
    return result;
}

bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* error)
{
    const std::string_view whole(bytes.constData(), std::size_t(bytes.size()));
    return writePrivateFile(path, std::span<const std::string_view>(&whole, 1), error);
}

namespace {

// Writes all of `bytes`; a short write is retried for the rest, which then
// fails with the reason (no space left, file too large).
bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

QString partialPrefix(const QString& fileName)
{
    return u'.' + fileName + QStringLiteral(".ondrel-partial-");
}

} // namespace

bool writePrivateFile(const QString& path, std::span<const std::string_view> pieces, QString* error,
                      int* errorCode)
{
    const auto failWith = [&](int code) {
        if (errorCode)
            *errorCode = code;
        return fail(error, errnoText(code));
    };
    // The new file is written beside the old one under a name no person
    // would give a file, so that what a cut-off save leaves behind can be
    // told from the user's own copies and removed.
    const QFileInfo info(path);
    QByteArray temporary = QFile::encodeName(info.path() + u'/' + partialPrefix(info.fileName())) + "XXXXXX";
    // mkstemp makes it with mode 0600: the data is never readable by
    // others, not even for a moment.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return failWith(errno);
    // Small pieces are gathered so that a file of many short records is not
    // a system call per record; large ones go out directly.
    constexpr std::size_t kGather = 64 * 1024;
    std::string gathered;
    gathered.reserve(kGather);
    bool ok = true;
    for (const std::string_view piece : pieces) {
        if (gathered.size() + piece.size() > kGather) {
            ok = writeAll(fd, gathered);
            gathered.clear();
            if (!ok)
                break;
        }
        if (piece.size() >= kGather) {
            if (!(ok = writeAll(fd, piece)))
                break;
        } else {
            gathered += piece;
        }
    }
    ok = ok && writeAll(fd, gathered) && ::fdatasync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 && ok)
        ok = false;
    else if (!ok)
        errno = writeError;
    if (ok && ::rename(temporary.constData(), QFile::encodeName(path).constData()) == 0)
        return true;
    const int code = errno;
    ::unlink(temporary.constData());
    return failWith(code);
}

bool isOutOfRoom(int errorCode)
{
    return errorCode == ENOSPC || errorCode == EDQUOT || errorCode == EFBIG;
}

std::optional<qint64> roomFor(const QString& folder)
{
    std::optional<qint64> room;
    struct statvfs fs
    {};
    // A couple of blocks stay free: files take whole blocks, and the
    // folder may need one more for the new name.
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) == 0)
        room = std::max<qint64>(0, qint64(fs.f_bavail) - 2) * qint64(fs.f_frsize);
    struct rlimit limit
    {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        room = std::min<qint64>(room.value_or(std::numeric_limits<qint64>::max()), qint64(limit.rlim_cur));
    return room;
}

void removePartialWrites(const QString& path)
{
    const QFileInfo info(path);
    const QString prefix = partialPrefix(info.fileName());
    const QDir folder(info.path());
    for (const QFileInfo& entry :
         folder.entryInfoList({prefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System)) {
        struct stat st
        {};
        const QByteArray name = QFile::encodeName(entry.filePath());
        if (entry.fileName().size() == prefix.size() + 6 && ::lstat(name.constData(), &st) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            ::unlink(name.constData());
    }
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
    // The copy holds what the history held: as private as the history, even
    // when the file it was had been left readable by others.
    const QByteArray name = QFile::encodeName(target);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st
        {};
        if (::fstat(fd, &st) == 0)
            ::fchmod(fd, S_ISDIR(st.st_mode) ? 0700 : 0600);
        ::close(fd);
    }
    return target;
}

} // namespace ondrel::platform
