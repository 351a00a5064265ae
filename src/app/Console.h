#pragma once

namespace ondrel {

// The program's own messages (logging categories "ondrel.*") go to standard
// error as they are written, one line each, without Qt's category prefix:
// their wording is what users and scripts read. Everything else keeps Qt's
// format.
void installConsoleFormat();

} // namespace ondrel
