#pragma once

// A window of "another program" for the X11 tests: the test binary starts
// itself again with --test-window TITLE. Its WM_CLASS is
// "ondrel-test-window"; paste chords it receives are printed on standard
// output as "<chord> <clipboard text>\n".

namespace ondrel::test {

// Runs the window when argv asks for it; returns -1 otherwise.
int runTestWindowIfAsked(int argc, char** argv);

} // namespace ondrel::test
