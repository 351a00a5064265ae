#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Files that hold the user's data: private modes, atomic replacement, and
// no overwriting of a file that could not be read.
namespace ondrel::platform {

// Creates `folder` and missing parents; a folder created here gets mode 0700.
bool ensurePrivateFolder(const QString& folder);

// Replaces `path` atomically (temporary file + rename) with mode 0600.
// On failure the old file stays as it was; `error` receives the reason.
bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Renames `path` (file or folder) to `path.corrupt-<UTC time>` so that a
// later write cannot destroy it. Returns the new path, or none on failure.
std::optional<QString> moveAside(const QString& path);

} // namespace ondrel::platform
