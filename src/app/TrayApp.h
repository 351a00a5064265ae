#pragma once

namespace ondrel {

// The tray application: the real services, its parts (TrayShell), one instance per
// session, SIGINT/SIGTERM quitting through the normal shutdown. Returns the
// exit code.
int runTrayApp(int argc, char** argv);

} // namespace ondrel
