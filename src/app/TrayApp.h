#pragma once

namespace ondrel {

// "Brisol" is the application's name in the names it has always stored
// (the Brisol data and settings folders, the toggleBrisol hotkey); the
// program itself is Ondrel.
// The tray application: the real services, the delegate, one instance per
// session, SIGINT/SIGTERM quitting through the normal shutdown. Returns the
// exit code.
int runBrisolApp(int argc, char** argv);

} // namespace ondrel
