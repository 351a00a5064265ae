#pragma once

namespace ondrel {

// The tray application: the real services, the delegate, one instance per
// session, SIGINT/SIGTERM quitting through the normal shutdown. Returns the
// exit code.
int runBrisolApp(int argc, char** argv);

} // namespace ondrel
