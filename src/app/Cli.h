#pragma once

#include <QStringList>

#include <cstdio>

namespace ondrel::cli {

// Exit codes of the command line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage =
    2; // unknown command or name, unreadable or invalid input, unwritable output

// Runs the command in `args` with the given streams; returns the exit code.
int run(const QStringList& args, std::FILE* in, std::FILE* out, std::FILE* err);

} // namespace ondrel::cli
