#pragma once

#include <QByteArray>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace ondrel::cli {

// Exit codes of the command line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage =
    2; // unknown command or name, unreadable or invalid input, unwritable output

// The bytes of FILE (the first of `operands`), or of `in` when there is none
// or it is "-": at most an entry's worth, and valid UTF-8. Nothing, with the
// reason said on `err`, otherwise.
std::optional<QByteArray> readInputBytes(const QStringList& operands, std::FILE* in, std::FILE* err);

// Runs the command in `args` with the given streams; returns the exit code.
int run(const QStringList& args, std::FILE* in, std::FILE* out, std::FILE* err);

} // namespace ondrel::cli
