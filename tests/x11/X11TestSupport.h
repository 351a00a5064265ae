#pragma once

// Helpers of the X11 tests, and a window of "another program": the test binary starts
// itself again with --test-window TITLE. Its WM_CLASS is
// "ondrel-test-window"; it prints "active\n" when it has the focus, the
// paste chords it receives as "<chord> <clipboard text>\n", and "released v\n"
// when the V key comes up (not a repeat).

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

#include <xcb/xcb.h>

namespace ondrel::test {

// Runs the window when argv asks for it; returns -1 otherwise.
int runTestWindowIfAsked(int argc, char** argv);

} // namespace ondrel::test

// The main() of a test program that also serves as the test window of its
// own tests (started again with --test-window).
#define ONDREL_TEST_MAIN_WITH_TEST_WINDOW(TestClass)                                                         \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        if (const int code = ondrel::test::runTestWindowIfAsked(argc, argv); code >= 0)                      \
            return code;                                                                                     \
        QGuiApplication app(argc, argv);                                                                     \
        TestClass test;                                                                                      \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&test, argc, argv);                                                              \
    }

namespace ondrel::test {

// Qt's own X connection and the root window of its screen.
xcb_connection_t* connection();
xcb_window_t rootWindow();

// The process whose window is active (0 when none or unknown).
quint32 activeWindowPid();

// Offers `bytes` as `type` on the clipboard from another program (xclip
// keeps serving it in the background until someone else takes it).
void offer(const QByteArray& bytes, const QString& type = QStringLiteral("text/plain"));
// What another program reads for `type`. The event loop keeps running, so
// this process can answer while it owns the clipboard.
QByteArray readBack(const QString& type);

// A program that takes the clipboard and never answers for it; it tells
// which types it was asked for.
class HungOwner final
{
public:
    ~HungOwner();
    // Starts it and waits until it owns the clipboard. With `answerTargets`
    // it lists text types and hangs only when asked for the text.
    bool start(bool answerTargets = false);
    // The types it was asked for so far, in order.
    QStringList requests();

private:
    QProcess m_process;
    QStringList m_requests;
};

// An SVG that takes long to draw at full size: `circles` dashed circles of
// the given radius on a canvas of `side` pixels.
QByteArray heavySvg(int side, int circles, int radius);

// The window of "another program" (this test binary run with --test-window).
class TestWindow final
{
public:
    ~TestWindow();
    // Starts it and waits until it has the focus, for the window manager and
    // for its own Qt (keys sent before that are dropped).
    bool start(const QString& title);
    // The next paste it reports ("ctrl+v text"), or "(nothing pasted)";
    // with `releases`, a release of V counts as a report too.
    QString waitForPaste(bool releases = false);
    qint64 processId() const { return m_process.processId(); }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

// Runs a program to its end (on another X display if given): its standard
// output, trimmed; none when it could not run or failed.
std::optional<QString> runProgram(const QString& program, const QStringList& arguments,
                                  const QString& display = {});
// The program's popover when it is on screen, and its icon docked in a tray
// (X window ids; empty: none).
QString popoverWindow(const QString& display = {});
QString trayIconWindow(qint64 pid, const QString& display = {});

} // namespace ondrel::test
