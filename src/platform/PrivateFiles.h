#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <span>
#include <string_view>

// Files that hold the user's data: private modes, atomic replacement, and
// no overwriting of a file that could not be read.
namespace ondrel::platform {

// Creates `folder` and missing parents with mode 0700, or takes group and
// other permissions away from one that exists. Refuses (false, with the
// reason in `error`) a folder that belongs to another user or is no folder:
// another user could read or plant what is kept there.
bool ensurePrivateFolder(const QString& folder, QString* error = nullptr);

// A folder of ours inside one where every user may make files (the
// temporary folder): made with mode 0700 when missing. Another user may
// have made it first, or put a link or a file under its name, to see or
// answer what we keep there; anything but a real folder that is ours and
// shut to others is refused (false, with the reason in `error`), never
// repaired or followed.
bool claimPrivateFolder(const QString& folder, QString* error = nullptr);
// Whether an existing `folder` is ours and shut to others (false, with the
// reason in `error`, when not).
bool isPrivateFolder(const QString& folder, QString* error = nullptr);

// A file of ours read whole: a symbolic link is not followed and a file of
// another user is refused, each with the reason in `error`.
struct PrivateRead
{
    std::optional<QByteArray> bytes;
    bool missing = false; // there is no such file (not an error)
    QString error;
};
PrivateRead readPrivateFile(const QString& path);

// Replaces `path` atomically (temporary file + rename) with mode 0600.
// On failure the old file stays as it was; `error` receives the reason.
bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);
// The same for a file made of `pieces` one after another, written as they
// are: a large file is never gathered into one block of memory.
bool writePrivateFile(const QString& path, std::span<const std::string_view> pieces, QString* error = nullptr,
                      int* errorCode = nullptr);
// Whether a write failed for want of room (full disk, quota, file size
// limit): a smaller file may still fit where a larger one did not.
bool isOutOfRoom(int errorCode);
// How many bytes a new file in `folder` may hold at most: the space free to
// this user there, or the file size limit if lower; none when unknown.
std::optional<qint64> roomFor(const QString& folder);
// Removes what saves of `path` that were cut off (a crash, kill -9, power
// loss) left beside it; nothing else there is touched.
void removePartialWrites(const QString& path);

// Renames `path` (file or folder) to `path.corrupt-<UTC time>` so that a
// later write cannot destroy it. Returns the new path, or none on failure.
std::optional<QString> moveAside(const QString& path);

} // namespace ondrel::platform
