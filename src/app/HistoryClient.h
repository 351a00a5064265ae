#pragma once

#include <QStringList>

#include <cstdio>

namespace ondrel {

// Runs a history command (`ondrel list`, `get`, `paste`...) in the running
// instance; without one, the reading commands read the history file alone.
// Returns the exit code.
int runHistoryCommand(const QStringList& args, std::FILE* in, std::FILE* out, std::FILE* err);

} // namespace ondrel
