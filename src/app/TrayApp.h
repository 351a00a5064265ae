#pragma once

namespace ondrel {

// The tray application: the real services, the tray controller, one instance per
// session, SIGINT/SIGTERM quitting through the normal shutdown. Returns the
// exit code.
int runTrayApp(int argc, char** argv);

} // namespace ondrel
