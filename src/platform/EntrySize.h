#pragma once

#include <QtGlobal>

namespace ondrel::platform {

// The most one history entry may hold, in bytes: a copy with more data than
// this is not read past it, and text given to the program by a script is
// refused above it. Memory stays near this figure however much an owner
// offers.
inline constexpr qsizetype kMaxEntryBytes = qsizetype(128) << 20;

} // namespace ondrel::platform
